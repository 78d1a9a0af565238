#pragma once

#include <QStringView>

// Where one field of a listing line begins and ends.
struct Field {
    qsizetype begin = 0;
    qsizetype end = 0;
};

// Hands out the blank-separated fields of a line from left to right, so that a line is read
// once, however long it is and however little of it turns out to matter.
class FieldCursor {
public:
    // Some locales print a no-break space inside the date ("7.\u00a0pro"); it only separates
    // fields where dates are looked for.
    enum Separators { Blanks, BlanksAndNoBreakSpace };

    FieldCursor(QStringView text, qsizetype from, Separators separators = Blanks)
        : text_(text), position_(from), noBreakSpaceSeparates_(separators == BlanksAndNoBreakSpace)
    {
    }

    bool next(Field& field)
    {
        while (position_ < text_.size() && isSeparator(text_[position_]))
            ++position_;
        if (position_ >= text_.size())
            return false;
        field.begin = position_;
        while (position_ < text_.size() && !isSeparator(text_[position_]))
            ++position_;
        field.end = position_;
        return true;
    }

private:
    bool isSeparator(QChar c) const
    {
        return c == u' ' || c == u'\t' || (noBreakSpaceSeparates_ && c == u'\u00a0');
    }

    QStringView text_;
    qsizetype position_;
    bool noBreakSpaceSeparates_;
};
