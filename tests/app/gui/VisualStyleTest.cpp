#include "app/gui/VisualStyle.h"
#include "support/ProfileSandbox.h"

#include <QApplication>
#include <QSettings>
#include <QStyle>

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <tuple>

namespace {

double luminance(const QColor& color)
{
    const auto channel = [](double value) {
        value /= 255.0;
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.red()) + 0.7152 * channel(color.green()) +
           0.0722 * channel(color.blue());
}

double contrast(const QColor& a, const QColor& b)
{
    const double lighter = std::max(luminance(a), luminance(b));
    const double darker = std::min(luminance(a), luminance(b));
    return (lighter + 0.05) / (darker + 0.05);
}

TEST(VisualStyle, OffersElevenLooksInMenuOrder)
{
    EXPECT_EQ(VisualStyle::lookIds(),
              QList<int>({205, 206, 207, 208, 209, 210, 215, 216, 217, 218, 219}));
    EXPECT_TRUE(VisualStyle::isLook(219));
    EXPECT_FALSE(VisualStyle::isLook(211));
    EXPECT_FALSE(VisualStyle::isLook(0));
}

TEST(VisualStyle, EveryLookIsDifferent)
{
    std::set<std::tuple<QString, QRgb, QRgb>> seen;
    for (const int id : VisualStyle::lookIds()) {
        const QPalette palette = VisualStyle::palette(id);
        seen.insert({VisualStyle::styleName(id), palette.color(QPalette::Window).rgb(),
                     palette.color(QPalette::Highlight).rgb()});
    }
    EXPECT_EQ(seen.size(), 11u);
}

TEST(VisualStyle, EveryLookIsReadable)
{
    const std::pair<QPalette::ColorRole, QPalette::ColorRole> pairs[] = {
        {QPalette::Text, QPalette::Base},
        {QPalette::WindowText, QPalette::Window},
        {QPalette::ButtonText, QPalette::Button},
        {QPalette::HighlightedText, QPalette::Highlight},
        {QPalette::ToolTipText, QPalette::ToolTipBase}};
    for (const int id : VisualStyle::lookIds()) {
        const QPalette palette = VisualStyle::palette(id);
        for (const auto& [text, background] : pairs) {
            EXPECT_GE(contrast(palette.color(text), palette.color(background)), 4.5)
                << "look " << id << " roles " << text << "/" << background;
        }
        EXPECT_GE(contrast(palette.color(QPalette::Disabled, QPalette::WindowText),
                           palette.color(QPalette::Window)),
                  1.8)
            << "look " << id;
        EXPECT_LT(contrast(palette.color(QPalette::Disabled, QPalette::WindowText),
                           palette.color(QPalette::Window)),
                  contrast(palette.color(QPalette::WindowText), palette.color(QPalette::Window)))
            << "look " << id;
    }
}

TEST(VisualStyle, UsesStylesQtHas)
{
    for (const int id : VisualStyle::lookIds()) {
        VisualStyle::apply(id);
        EXPECT_EQ(QApplication::style()->name().toLower(), VisualStyle::styleName(id).toLower())
            << id;
        EXPECT_EQ(QApplication::palette().color(QPalette::Window),
                  VisualStyle::palette(id).color(QPalette::Window))
            << id;
    }
    VisualStyle::apply(VisualStyle::DefaultLook);
}

TEST(VisualStyle, AForeignIdGetsTheBlueOffice2007Look)
{
    EXPECT_EQ(VisualStyle::styleName(999), VisualStyle::styleName(215));
    EXPECT_EQ(VisualStyle::palette(999), VisualStyle::palette(215));
    EXPECT_EQ(VisualStyle::palette(-1), VisualStyle::palette(215));
}

TEST(VisualStyle, StoresTheLookInTheApplicationProfile)
{
    ProfileSandbox profile;
    EXPECT_EQ(VisualStyle::storedLook(), 210);
    VisualStyle::storeLook(216);
    EXPECT_EQ(VisualStyle::storedLook(), 216);
    QSettings written(QStringLiteral("KEVRA"), QStringLiteral("KEVRA"));
    EXPECT_EQ(written.value(QStringLiteral("ApplicationLook")).toInt(), 216);
    EXPECT_TRUE(written.fileName().startsWith(profile.path()));
}

} // namespace
