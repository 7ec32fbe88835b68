#pragma once
#include <QString>

namespace volnor {

// Maps the program's fixed Windows paths ("C:\Users\Public\...") onto a folder that stands for
// drive C:, and translates relative names written with "\" (".\name", "7z\7z.exe") to native
// paths. Passed in, never global, so tests point the drive at a temporary folder.
class WinPaths {
public:
    // The drive folder of a user's desktop: <data folder>/VOLNOR/drive_c.
    static WinPaths forUser();
    explicit WinPaths(QString driveRoot);

    QString driveRoot() const { return driveRoot_; }

    // "C:\A\B\" -> "<drive>/A/B/"; a relative name is translated as by relative().
    QString native(const QString& windowsPath) const;

    // ".\A\b.zip" -> "A/b.zip", "..\x" -> "../x"; a trailing "\" stays as "/".
    static QString relative(const QString& windowsPath);

private:
    QString driveRoot_;
};

}  // namespace volnor
