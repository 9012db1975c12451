#include "catalogue/TitleText.h"

namespace catalogue {

QString blankControlCharacters(QString title) {
    for (QChar &c : title)
        if (c.category() == QChar::Other_Control) c = QLatin1Char(' ');
    return title;
}

}  // namespace catalogue
