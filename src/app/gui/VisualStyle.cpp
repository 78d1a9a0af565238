#include "app/gui/VisualStyle.h"

#include "view/gui/CommandIds.h"

#include <QApplication>
#include <QSettings>
#include <QStyleFactory>

namespace {
const QString ProfileKey = QStringLiteral("ApplicationLook");

QColor mix(const QColor& a, const QColor& b)
{
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

QSettings applicationProfile()
{
    return QSettings(QStringLiteral("KEVRA"), QStringLiteral("KEVRA"));
}
} // namespace

const QList<VisualStyle::Look>& VisualStyle::looks()
{
    using namespace CommandId;
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    // clang-format off
    static const QList<Look> table{
        {LookWindows2000,      "Windows", {"#d4d0c8", "#d4d0c8", white,     black,     "#0a246a", white}},
        {LookOfficeXP,         "Fusion",  {"#f6f5f2", "#ebeae4", white,     black,     "#b6bdd2", black}},
        {LookWindowsXP,        "Windows", {"#ece9d8", "#f2f1e8", white,     black,     "#316ac5", white}},
        {LookOffice2003,       "Fusion",  {"#d5e4f7", "#c4daf6", white,     "#0d2a4f", "#ffc36b", black}},
        {LookVisualStudio2005, "Fusion",  {"#eeede5", "#e2e0d3", white,     black,     "#3169c6", white}},
        {LookVisualStudio2008, "Fusion",  {"#e9ecf4", "#dbe1ee", white,     black,     "#2a5db0", white}},
        {LookOffice2007Blue,   "Fusion",  {"#bfd7f3", "#dae8f8", white,     "#15428b", "#ffd86b", black}},
        {LookOffice2007Black,  "Fusion",  {"#353535", "#474747", "#262626", "#f0f0f0", "#e8a33a", black}},
        {LookOffice2007Silver, "Fusion",  {"#dde1e7", "#eceef2", white,     "#2b2b2b", "#5d6b82", white}},
        {LookOffice2007Aqua,   "Fusion",  {"#cde6e3", "#e1f0ee", white,     "#1f3d3b", "#23736d", white}},
        {LookWindows7,         "Windows", {"#f0f0f0", "#e8eef7", white,     black,     "#cce8ff", black}},
    };
    // clang-format on
    return table;
}

QList<int> VisualStyle::lookIds()
{
    QList<int> ids;
    for (const Look& look : looks())
        ids.append(look.id);
    return ids;
}

bool VisualStyle::isLook(int id)
{
    return lookIds().contains(id);
}

const VisualStyle::Look& VisualStyle::lookOf(int id)
{
    for (const Look& look : looks()) {
        if (look.id == id)
            return look;
    }
    return lookOf(CommandId::LookOffice2007Blue);
}

QString VisualStyle::styleName(int id)
{
    return QLatin1String(lookOf(id).style);
}

QPalette VisualStyle::palette(int id)
{
    const Colors& c = lookOf(id).colors;
    QPalette palette(c.button, c.window);
    palette.setColor(QPalette::Base, c.base);
    palette.setColor(QPalette::AlternateBase, mix(c.base, c.window));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::ToolTipText})
        palette.setColor(role, c.text);
    palette.setColor(QPalette::ToolTipBase, c.base);
    palette.setColor(QPalette::Highlight, c.highlight);
    palette.setColor(QPalette::HighlightedText, c.highlightedText);
    palette.setColor(QPalette::PlaceholderText, mix(c.text, c.base));
    const QColor dimmed = mix(c.text, c.window);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, dimmed);
    return palette;
}

void VisualStyle::apply(int id)
{
    QApplication::setStyle(QStyleFactory::create(styleName(id)));
    QApplication::setPalette(palette(id));
}

int VisualStyle::storedLook()
{
    return applicationProfile().value(ProfileKey, DefaultLook).toInt();
}

void VisualStyle::storeLook(int id)
{
    QSettings profile = applicationProfile();
    profile.setValue(ProfileKey, id);
    profile.sync();
}
