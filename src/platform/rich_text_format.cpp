#include "platform/rich_text_format.h"

namespace RichText {

void setVerticalOffset(QTextCharFormat& format, int twips, qreal pointSize)
{
    if (twips == 0) { // explicit zeros, so merging this format removes an offset
        format.setProperty(VerticalOffsetProperty, 0);
        format.setBaselineOffset(0);
        return;
    }
    format.setProperty(VerticalOffsetProperty, twips);
    const qreal size = pointSize > 0 ? pointSize : 10.0;
    format.setBaselineOffset(twips / 20.0 / size * 100.0);
}

int verticalOffset(const QTextCharFormat& format)
{
    return format.intProperty(VerticalOffsetProperty);
}

} // namespace RichText
