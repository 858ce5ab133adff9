#include "pngwriter.h"

#include "simscreen.h"

#include <QtEndian>

#include <array>

namespace {

const std::array<quint32, 256> &crcTable()
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t {};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void appendBigEndian(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

void appendChunk(QByteArray &png, const char *type, const QByteArray &data)
{
    appendBigEndian(png, quint32(data.size()));
    QByteArray typed(type, 4);
    typed += data;
    png += typed;
    appendBigEndian(png, PngWriter::crc32(typed));
}

quint32 adler32(const QByteArray &data)
{
    quint32 a = 1, b = 0;
    for (const char c : data) {
        a = (a + quint8(c)) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

struct Canvas
{
    int width, height;
    QByteArray rgb;

    void fill(int x, int y, int w, int h, quint32 colour)
    {
        for (int row = std::max(0, y); row < std::min(height, y + h); ++row) {
            for (int col = std::max(0, x); col < std::min(width, x + w); ++col) {
                char *p = rgb.data() + (row * width + col) * 3;
                p[0] = char((colour >> 16) & 0xFF);
                p[1] = char((colour >> 8) & 0xFF);
                p[2] = char(colour & 0xFF);
            }
        }
    }
};

void paint(Canvas &canvas, const SimElement &e, int scale)
{
    quint32 colour = 0;
    if (e.type == QLatin1String("NavigationBar") || e.type == QLatin1String("TabBar"))
        colour = 0xF2F2F7;
    else if (e.type == QLatin1String("Button"))
        colour = e.disabled ? 0xB0C4D8 : (e.selected ? 0x005A9C : 0x1E88E5);
    else if (e.type.endsWith(QLatin1String("TextField")) || e.type == QLatin1String("SearchField"))
        colour = e.focused ? 0xDCEBFA : 0xE5E5EA;
    else if (e.type == QLatin1String("StaticText"))
        colour = 0x3A3A3C;
    else if (e.type == QLatin1String("Image"))
        colour = 0xC8A27A;
    else if (e.type == QLatin1String("Cell") || e.type == QLatin1String("Icon"))
        colour = e.selected ? 0xD0E6F7 : 0xEFEFF4;
    if (colour) {
        const int x = e.x / scale, y = e.y / scale;
        int w = std::max(1, e.width / scale), h = std::max(1, e.height / scale);
        if (e.type == QLatin1String("StaticText"))
            h = std::max(1, h / 2); // a text line, not its whole box
        canvas.fill(x, y, w, h, colour);
    }
    for (const SimElement &child : e.children)
        paint(canvas, child, scale);
}

} // namespace

quint32 PngWriter::crc32(const QByteArray &data)
{
    quint32 c = 0xFFFFFFFFu;
    for (const char byte : data)
        c = crcTable()[(c ^ quint8(byte)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray PngWriter::encode(int width, int height, const QByteArray &rgb)
{
    QByteArray raw;
    raw.reserve(height * (1 + width * 3));
    for (int row = 0; row < height; ++row) {
        raw.append('\0'); // filter type: none
        raw.append(rgb.constData() + row * width * 3, width * 3);
    }
    QByteArray zlib("\x78\x01", 2);
    for (qsizetype offset = 0; offset < raw.size() || offset == 0; offset += 65535) {
        const qsizetype length = std::min<qsizetype>(65535, raw.size() - offset);
        const bool last = offset + length >= raw.size();
        zlib.append(char(last ? 1 : 0));
        zlib.append(char(length & 0xFF));
        zlib.append(char((length >> 8) & 0xFF));
        zlib.append(char(~length & 0xFF));
        zlib.append(char((~length >> 8) & 0xFF));
        zlib.append(raw.constData() + offset, length);
        if (last)
            break;
    }
    appendBigEndian(zlib, adler32(raw));

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    QByteArray header;
    appendBigEndian(header, quint32(width));
    appendBigEndian(header, quint32(height));
    header.append(char(8)); // bit depth
    header.append(char(2)); // colour type: RGB
    header.append(3, '\0'); // compression, filter, interlace
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", zlib);
    appendChunk(png, "IEND", QByteArray());
    return png;
}

QByteArray PngWriter::screenshot(const SimElement &root, int scale)
{
    Canvas canvas { std::max(1, root.width / scale), std::max(1, root.height / scale), {} };
    canvas.rgb = QByteArray(canvas.width * canvas.height * 3, char(0xFF));
    canvas.fill(0, 0, canvas.width, 47 / scale, 0x1C1C1E); // status bar
    paint(canvas, root, scale);
    return encode(canvas.width, canvas.height, canvas.rgb);
}
