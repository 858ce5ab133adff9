#pragma once

#include <QByteArray>

struct SimElement;

// Small but valid PNG screenshots of the simulated screen, written without an
// image library: 8-bit RGB, zlib stream of stored (uncompressed) deflate
// blocks, CRC-32 per chunk. Stateless.
namespace PngWriter {

// rgb holds width * height * 3 bytes, rows top to bottom.
QByteArray encode(int width, int height, const QByteArray &rgb);

// A reduced picture of the screen: backgrounds, bars, fields and buttons at
// their bounds (one pixel per `scale` points in each direction; a fifth for
// report screenshots).
QByteArray screenshot(const SimElement &root, int scale = 5);

quint32 crc32(const QByteArray &data);

} // namespace PngWriter
