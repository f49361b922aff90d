#include "ui/fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <cmath>

namespace vardo {

namespace {

// Scalable faces, in order of preference, for the faces that do not scale.
const char *const kStandInFamilies[] = {"Liberation Sans", "DejaVu Sans"};

bool onScaledScreen()
{
    return qGuiApp && qGuiApp->devicePixelRatio() != 1.0;
}

} // namespace

void registerWindowsFonts()
{
    static const char *const wineFaces[] = {"ms_sans_serif.ttf", "tahoma.ttf",
                                            "system.ttf"};
    for (const char *face : wineFaces)
        QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/") + QLatin1String(face));

    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans"));
    QFont::insertSubstitution(QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans"));
    QFont::insertSubstitution(QStringLiteral("System"), QStringLiteral("DejaVu Sans"));
    QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Lucida Console"), QStringLiteral("DejaVu Sans Mono"));
    QFont::insertSubstitution(QStringLiteral("Terminal"), QStringLiteral("DejaVu Sans Mono"));
}

QFont windowsFont(const QString &family, int pixelHeight, bool bold)
{
    QFont font(family);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    // Set, so that a stand-in's stretch is not handed down to the fonts of child widgets.
    font.setStretch(QFont::Unstretched);
    if (onScaledScreen() && !scalesCleanly(font))
        return scalableStandIn(font);
    return font;
}

bool scalesCleanly(const QFont &font)
{
    const QFontInfo info(font);
    if (!QFontDatabase::isSmoothlyScalable(info.family(), info.styleName()))
        return false;
    return !font.bold() || QFontDatabase::weight(info.family(), info.styleName()) >= QFont::DemiBold;
}

QFont scalableStandIn(const QFont &font)
{
    const qreal lineHeight = QFontMetricsF(font).lineSpacing();
    QFont best;
    qreal bestError = -1;
    for (const char *family : kStandInFamilies) {
        QFont candidate{QLatin1String(family)};
        candidate.setBold(font.bold());
        candidate.setItalic(font.italic());
        candidate.setPixelSize(100);
        const qreal perPixel = QFontMetricsF(candidate).lineSpacing() / 100;
        const int estimate = static_cast<int>(lineHeight / perPixel);
        for (int pixels : {estimate, estimate + 1}) {
            candidate.setPixelSize(std::max(1, pixels));
            const qreal error = std::abs(QFontMetricsF(candidate).lineSpacing() - lineHeight);
            if (bestError < 0 || error < bestError) {
                best = candidate;
                bestError = error;
            }
        }
    }
    best.setStretch(qRound(100 * averageLetterWidth(font) / averageLetterWidth(best)));
    return best;
}

QFont fittedToHeight(QFont font, int height)
{
    // Line spacing grows in step with the pixel size, so one measurement names the size; each
    // size measured loads a font engine, which is what start-up waits for.
    const qreal spacing = QFontMetricsF(font).lineSpacing();
    if (spacing > height)
        font.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * height / spacing)));
    while (font.pixelSize() > 1 && QFontMetricsF(font).lineSpacing() > height)
        font.setPixelSize(font.pixelSize() - 1);
    return font;
}

qreal averageLetterWidth(const QFont &font)
{
    const QFontMetricsF metrics(font);
    qreal sum = 0;
    for (char16_t letter = u'a'; letter <= u'z'; ++letter)
        sum += metrics.horizontalAdvance(QChar(letter)) + metrics.horizontalAdvance(QChar(letter - 32));
    return sum / 52;
}

} // namespace vardo
