#pragma once

class QCoreApplication;

// Qt's own texts in simplified Chinese, to match the rest of the interface: the standard buttons
// of message boxes (是, 否, 确定, 取消), the file and folder choosers, the context menus of edit
// fields. They come from Qt's translations folder (Debian's qt6-translations-l10n).
class QtChineseTexts {
public:
    // Installs the translation once per application; false when it cannot be found, in which
    // case Qt's English texts stay.
    static bool install(QCoreApplication& application);
};
