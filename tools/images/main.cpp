// volnor-images OUTDIR: writes the program's pictures for the Windows resources.
//   toolbar.bmp  the seven 32 x 32 toolbar images side by side, 32 bits with alpha
//   logo.bmp     the logo, 145 x 44, laid on the window's background colour
//   program.ico  the program's icon at 16, 32, 48 and 256 pixels
//   icon-N.png   the same icon for the Linux desktop, at the sizes desktops ask for (N pixels)
#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/window_layout.h"
#include "ui/qt/images.h"

namespace {

void put16(QByteArray& out, std::uint16_t v) {
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void put32(QByteArray& out, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.append(char((v >> shift) & 0xFF));
}

// BITMAPINFOHEADER, 32 bits, BI_RGB; `height` as the header states it.
void putInfoHeader(QByteArray& out, int width, int height, std::uint32_t imageBytes) {
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(width));
    put32(out, static_cast<std::uint32_t>(height));
    put16(out, 1);
    put16(out, 32);
    put32(out, 0);  // BI_RGB
    put32(out, imageBytes);
    put32(out, 3780);  // 96 dots per inch
    put32(out, 3780);
    put32(out, 0);
    put32(out, 0);
}

// Rows from the bottom up, each pixel B, G, R, A with straight (not premultiplied) alpha, as
// a 32-bit DIB section of an image list takes it.
QByteArray bgraRows(const QImage& source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    QByteArray out;
    for (int y = image.height() - 1; y >= 0; --y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            out.append(char(qBlue(line[x])));
            out.append(char(qGreen(line[x])));
            out.append(char(qRed(line[x])));
            out.append(char(qAlpha(line[x])));
        }
    }
    return out;
}

QByteArray bmp(const QImage& image) {
    const QByteArray pixels = bgraRows(image);
    QByteArray out;
    out.append("BM");
    put32(out, static_cast<std::uint32_t>(14 + 40 + pixels.size()));
    put32(out, 0);
    put32(out, 14 + 40);
    putInfoHeader(out, image.width(), image.height(), static_cast<std::uint32_t>(pixels.size()));
    out.append(pixels);
    return out;
}

// An icon of several sizes: the small ones as 32-bit DIBs with an AND mask, 256 as PNG.
QByteArray ico(const std::vector<QImage>& images) {
    std::vector<QByteArray> entries;
    for (const QImage& image : images) {
        QByteArray entry;
        if (image.width() >= 256) {
            QBuffer buffer(&entry);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
        } else {
            const QByteArray pixels = bgraRows(image);
            const int maskStride = ((image.width() + 31) / 32) * 4;
            const QByteArray mask(maskStride * image.height(), '\0');
            putInfoHeader(entry, image.width(), 2 * image.height(),
                          static_cast<std::uint32_t>(pixels.size() + mask.size()));
            entry.append(pixels);
            entry.append(mask);
        }
        entries.push_back(entry);
    }
    QByteArray out;
    put16(out, 0);
    put16(out, 1);
    put16(out, static_cast<std::uint16_t>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const int side = images[i].width();
        out.append(char(side >= 256 ? 0 : side));
        out.append(char(side >= 256 ? 0 : side));
        out.append('\0');
        out.append('\0');
        put16(out, 1);
        put16(out, 32);
        put32(out, static_cast<std::uint32_t>(entries[i].size()));
        put32(out, offset);
        offset += static_cast<std::uint32_t>(entries[i].size());
    }
    for (const QByteArray& entry : entries) out.append(entry);
    return out;
}

bool save(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "volnor-images: cannot write %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: volnor-images OUTDIR\n", stderr);
        return 2;
    }
    // No display is needed to paint pixmaps.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    namespace layout = volnor::app::layout;
    const QString dir = QString::fromLocal8Bit(argv[1]) + QLatin1Char('/');
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "volnor-images: cannot make the folder %s\n", qPrintable(dir));
        return 1;
    }

    const QList<QPixmap> images = volnor::ui::toolbarImages();
    QImage strip(layout::kImageSide * int(images.size()), layout::kImageSide,
                 QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    {
        QPainter p(&strip);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        for (int i = 0; i < images.size(); ++i) p.drawPixmap(i * layout::kImageSide, 0, images[i]);
    }

    // Laid on the window's background, where the window shows it: a plain picture control
    // then draws it right without blending.
    const QPixmap logo = volnor::ui::logoImage();
    QImage opaqueLogo(logo.size(), QImage::Format_ARGB32);
    opaqueLogo.fill(
        QColor(layout::kBtnFace.red(), layout::kBtnFace.green(), layout::kBtnFace.blue()));
    {
        QPainter p(&opaqueLogo);
        p.drawPixmap(0, 0, logo);
    }

    std::vector<QImage> icons;
    for (int side : {16, 32, 48, 256}) icons.push_back(volnor::ui::programIcon(side).toImage());

    bool ok = save(dir + QStringLiteral("toolbar.bmp"), bmp(strip)) &&
              save(dir + QStringLiteral("logo.bmp"), bmp(opaqueLogo)) &&
              save(dir + QStringLiteral("program.ico"), ico(icons));
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        volnor::ui::programIcon(side).toImage().save(&buffer, "PNG");
        ok = ok && save(dir + QStringLiteral("icon-%1.png").arg(side), png);
    }
    return ok ? 0 : 1;
}
