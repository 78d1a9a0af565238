#pragma once

#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>

// The eleven looks the user picks from (command ids 205 to 219): each a Qt style with a
// palette of its own, stored as "ApplicationLook" in the application profile.
class VisualStyle {
public:
    static constexpr int DefaultLook = 210;

    // The look ids in menu order.
    static QList<int> lookIds();
    static bool isLook(int id);

    // Any id outside the eleven gets the blue Office 2007 look, as stored values may be foreign.
    static QString styleName(int id);
    static QPalette palette(int id);
    // Sets the style and palette of the whole application.
    static void apply(int id);

    static int storedLook();
    static void storeLook(int id);

private:
    struct Colors {
        QColor window;
        QColor button;
        QColor base;
        QColor text;
        QColor highlight;
        QColor highlightedText;
    };
    struct Look {
        int id;
        const char* style;
        Colors colors;
    };
    static const Look& lookOf(int id);
    static const QList<Look>& looks();
};
