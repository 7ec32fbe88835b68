#pragma once
// A throwaway program directory for tests that run scripts: a temporary folder holding
// "7z/7z.exe" (a link to the real 7-Zip), made the process's current directory for the test
// and the old one restored afterwards.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include "platform/script_runner.h"

namespace volnor::test {

class ProgramDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        dir_ = QDir(root_.filePath(QStringLiteral("prog")));
        ASSERT_TRUE(QDir().mkpath(dir_.filePath(QStringLiteral("7z"))));
        ASSERT_TRUE(QFile::link(QStringLiteral("/usr/bin/7zz"),
                                dir_.filePath(QStringLiteral("7z/7z.exe"))));
        previous_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir_.path()));
    }
    void TearDown() override { QDir::setCurrent(previous_); }

    // The program directory, and its parent, which a hostile archive must not reach.
    const QDir& dir() const { return dir_; }
    QString outside(const QString& name) const { return root_.filePath(name); }
    QString path(const QString& name) const { return dir_.filePath(name); }

    static ScriptRunner runner() { return ScriptRunner({QStringLiteral(VOLNOR_BIN_DIR)}); }

    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
        f.write(bytes);
    }
    QByteArray read(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool exists(const QString& name) const { return QFileInfo::exists(path(name)); }

    struct ZipEntry {
        QString name;
        QByteArray data;  // for a link: its target
        bool link = false;
    };
    // A zip archive as Python's zipfile writes it, entry names stored exactly as given.
    static QByteArray zip(const QList<ZipEntry>& entries) {
        QTemporaryDir work;
        const QString file = work.filePath(QStringLiteral("a.zip"));
        QJsonArray list;
        for (const ZipEntry& e : entries)
            list.append(QJsonArray{e.name, QString::fromLatin1(e.data), e.link});
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-c"), QString::fromLatin1(kZipMaker), file});
        python.waitForStarted();
        python.write(QJsonDocument(list).toJson());
        python.closeWriteChannel();
        python.waitForFinished();
        EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    static constexpr char kZipMaker[] = R"(
import json, stat, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name, data, link in json.load(sys.stdin):
        info = zipfile.ZipInfo(name)
        info.create_system = 3
        info.external_attr = ((stat.S_IFLNK | 0o777) if link else (stat.S_IFREG | 0o644)) << 16
        z.writestr(info, data.encode("latin-1"))
)";
    QTemporaryDir root_;
    QDir dir_;
    QString previous_;
};

}  // namespace volnor::test
