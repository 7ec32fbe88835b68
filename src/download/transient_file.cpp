#include "download/transient_file.h"

#include <QFileInfo>
#include <filesystem>
#include <system_error>

namespace volnor {

TransientFile::TransientFile(const QString& path)
    : path_(QFileInfo(path).absoluteFilePath()), file_(path_ + QStringLiteral(".XXXXXX.part")) {}

TransientFile::~TransientFile() { discard(); }

bool TransientFile::open() {
    if (!file_.open()) {
        error_ = file_.errorString();
        return false;
    }
    // The permissions a plain new file gets, not the private ones of a temporary file.
    file_.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                         QFileDevice::ReadOther);
    return true;
}

bool TransientFile::commit() {
    if (!file_.isOpen()) {
        error_ = file_.errorString();
        return false;
    }
    const std::filesystem::path from = file_.filesystemFileName();
    file_.close();
    if (file_.error() != QFileDevice::NoError) {
        error_ = file_.errorString();
        discard();
        return false;
    }
    // QFile::rename never replaces a file; std::filesystem::rename does, on every platform.
    std::error_code ec;
    std::filesystem::rename(from, QFileInfo(path_).filesystemAbsoluteFilePath(), ec);
    if (ec) {
        error_ = QString::fromLocal8Bit(ec.message());
        discard();
        return false;
    }
    file_.setAutoRemove(false);
    return true;
}

void TransientFile::discard() {
    if (!file_.autoRemove()) return;
    file_.remove();
    file_.setAutoRemove(false);
}

}  // namespace volnor
