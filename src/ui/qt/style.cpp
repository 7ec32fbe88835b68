#include "ui/qt/style.h"

#include <QApplication>
#include <QFile>
#include <QFont>

#include "platform/dialogs.h"
#include "ui/qt/qt_layout.h"
#include "ui/qt/qt_text.h"

static void initUiResources() { Q_INIT_RESOURCE(ui); }

namespace volnor::ui {

namespace {
struct NamedStyle {
    const char* name;
    const char* resource;
};
constexpr NamedStyle kStyles[] = {{kStyleName, ":/volnor/styles/sapphire_kamri.qss"}};

// The colours a style sheet names as "@name@", from the layout both windows share.
struct SharedColour {
    const char* name;
    app::layout::Rgb rgb;
};
constexpr SharedColour kSharedColours[] = {
    {"kMarkedButtonFace", app::layout::kMarkedButtonFace},
    {"kMarkedButtonBorder", app::layout::kMarkedButtonBorder},
    {"kPressedButtonFace", app::layout::kPressedButtonFace},
    {"kPressedButtonBorder", app::layout::kPressedButtonBorder},
};
}  // namespace

bool TrySetStyle(const QString& name, Dialogs& dialogs, const std::string& title) {
    initUiResources();
    for (const auto& style : kStyles) {
        if (name != QLatin1String(style.name)) continue;
        QFile file(QString::fromLatin1(style.resource));
        if (!file.open(QIODevice::ReadOnly)) {
            dialogs.errorReport(title, str(QStringLiteral("Не удалось загрузить стиль «%1»: %2.")
                                               .arg(name, file.errorString())));
            return false;
        }
        QString sheet = QString::fromUtf8(file.readAll());
        for (const auto& colour : kSharedColours)
            sheet.replace(QLatin1Char('@') + QLatin1String(colour.name) + QLatin1Char('@'),
                          qColor(colour.rgb).name());
        qApp->setStyleSheet(sheet);
        return true;
    }
    dialogs.errorReport(title, str(QStringLiteral("Стиль «%1» не найден.").arg(name)));
    return false;
}

void installFontSubstitutions() {
    // Liberation Sans first: DejaVu Sans is so much wider than Tahoma that texts sized for it,
    // such as the date in status panel 1, are cut off.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont::insertSubstitutions(
        QStringLiteral("Times New Roman"),
        {QStringLiteral("Liberation Serif"), QStringLiteral("DejaVu Serif")});
}

}  // namespace volnor::ui
