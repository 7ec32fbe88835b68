#pragma once
// A throwaway program directory for the self-update: its "7z/7z.exe" leads to a copy of 7-Zip of
// the test's own, never to the system's program, since update archives may name that file.
#include <QCryptographicHash>
#include <QProcess>

#include "download/program_dir.h"
#include "update/dates.h"

namespace volnor::test {

class UpdateDirTest : public ProgramDirTest {
protected:
    void SetUp() override {
        ProgramDirTest::SetUp();
        ASSERT_TRUE(QDir().mkpath(outside(QStringLiteral("tools"))));
        ASSERT_TRUE(QFile::copy(QStringLiteral("/usr/bin/7zz"), sevenZipCopy()));
        ASSERT_TRUE(QFile::remove(path(QStringLiteral("7z/7z.exe"))));
        ASSERT_TRUE(QFile::link(sevenZipCopy(), path(QStringLiteral("7z/7z.exe"))));
        sevenZipHash_ = hash(sevenZipCopy());
    }

    QString sevenZipCopy() const { return outside(QStringLiteral("tools/7zz")); }
    bool sevenZipIntact() const { return hash(sevenZipCopy()) == sevenZipHash_; }

    static QByteArray hash(const QString& file) {
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    }

    struct File {
        QString name;
        QByteArray data;
    };
    // A 7z archive of the files, made by 7-Zip in a folder of its own.
    QByteArray sevenZip(const QList<File>& files) const {
        QTemporaryDir stage;
        for (const File& f : files) {
            const QString file = stage.filePath(f.name);
            EXPECT_TRUE(QDir().mkpath(QFileInfo(file).path()));
            QFile out(file);
            EXPECT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(f.data);
            out.close();
            out.setPermissions(out.permissions() | QFileDevice::ExeOwner);
        }
        return sevenZipOf(stage.path(), {QStringLiteral("-snl")});
    }
    // A 7z archive of a folder's content, links stored as links.
    static QByteArray sevenZipOf(const QString& folder, const QStringList& switches) {
        QTemporaryDir work;
        const QString archive = work.filePath(QStringLiteral("a.7z"));
        QProcess p;
        p.setWorkingDirectory(folder);
        p.start(QStringLiteral("/usr/bin/7zz"),
                QStringList{QStringLiteral("a"), QStringLiteral("-bd"), QStringLiteral("-y")} +
                    switches + QStringList{archive, QStringLiteral(".")});
        p.waitForFinished(60000);
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        QFile f(archive);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static ShortDateFormat russian() { return *ShortDateFormat::fromPicture("dd.MM.yyyy"); }

private:
    QByteArray sevenZipHash_;
};

}  // namespace volnor::test
