// volnor-sampledb: writes a sample parts database and, optionally, a macro folder.
#include <QCoreApplication>
#include <QTextStream>

#include "partsdb/sampledb.h"
#include "platform/error.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QTextStream err(stderr);
    QTextStream out(stdout);
    QString password, macros;
    int files = 0;
    for (qsizetype i = 0; i < args.size();) {
        if (args[i] == QLatin1String("--password") && i + 1 < args.size()) {
            password = args[i + 1];
            args.remove(i, 2);
        } else if (args[i] == QLatin1String("--macros") && i + 2 < args.size()) {
            macros = args[i + 1];
            files = args[i + 2].toInt();
            args.remove(i, 3);
        } else {
            ++i;
        }
    }
    bool ok = false;
    const int parts = args.size() == 2 ? args[1].toInt(&ok) : 0;
    if (!ok || parts < 0) {
        err << "usage: volnor-sampledb DATABASE PARTS [--password PW] [--macros FOLDER FILES]\n";
        return 2;
    }
    try {
        const auto c = volnor::partsdb::makeSampleDatabase(args[0], parts, password);
        out << args[0] << ": " << c.makerParts << " maker parts (" << c.nullTypenr
            << " without type number), " << c.latinParts << " \"VOLNOR\", " << c.otherParts
            << " other makers, " << c.variants << " variants, " << c.functionTemplates
            << " function templates\n";
        if (!macros.isEmpty())
            out << macros << ": " << volnor::partsdb::makeMacroFolder(macros, files).size()
                << " files\n";
    } catch (const volnor::Error& e) {
        err << e.text() << "\n";
        return 1;
    }
    return 0;
}
