#pragma once

#include <QByteArray>
#include <QLocale>
#include <clocale>

// A German number format (decimal comma) in Qt and, where the system has it, in the C library,
// for as long as the object lives.
class GermanLocale {
public:
    GermanLocale() : previousQt(QLocale())
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        previousC = std::setlocale(LC_ALL, nullptr);
        for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE"})
            if (std::setlocale(LC_ALL, name))
                break;
    }
    ~GermanLocale()
    {
        std::setlocale(LC_ALL, previousC.constData());
        QLocale::setDefault(previousQt);
    }
    GermanLocale(const GermanLocale &) = delete;
    GermanLocale &operator=(const GermanLocale &) = delete;

private:
    QLocale previousQt;
    QByteArray previousC;
};
