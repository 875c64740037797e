// Renders res/quilmarr.svg into the PNG sizes the platforms use and a
// Windows .ico holding them. Run by hand after the artwork changes:
//   quilmarr_render_icons <res folder>
#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSizes[] = {16, 24, 32, 48, 256};

QByteArray RenderPng(QSvgRenderer& renderer, int size) {
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  renderer.render(&painter);
  painter.end();
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "PNG");
  return png;
}

void AppendLe16(QByteArray& out, int value) {
  const quint16 le = qToLittleEndian(static_cast<quint16>(value));
  out.append(reinterpret_cast<const char*>(&le), 2);
}

void AppendLe32(QByteArray& out, qint64 value) {
  const quint32 le = qToLittleEndian(static_cast<quint32>(value));
  out.append(reinterpret_cast<const char*>(&le), 4);
}

// ICONDIR, then one ICONDIRENTRY per image, then the PNG streams (Vista and later read PNG
// entries).
QByteArray BuildIco(const std::vector<std::pair<int, QByteArray>>& images) {
  QByteArray ico;
  AppendLe16(ico, 0);
  AppendLe16(ico, 1);
  AppendLe16(ico, static_cast<int>(images.size()));
  qint64 offset = 6 + 16 * static_cast<qint64>(images.size());
  for (const auto& [size, png] : images) {
    ico.append(static_cast<char>(size >= 256 ? 0 : size));  // 0 means 256
    ico.append(static_cast<char>(size >= 256 ? 0 : size));
    ico.append('\0');  // no palette
    ico.append('\0');
    AppendLe16(ico, 1);   // planes
    AppendLe16(ico, 32);  // bits per pixel
    AppendLe32(ico, png.size());
    AppendLe32(ico, offset);
    offset += png.size();
  }
  for (const auto& image : images) {
    ico.append(image.second);
  }
  return ico;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

int main(int argc, char* argv[]) {
  QGuiApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: quilmarr_render_icons <res folder>\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QSvgRenderer renderer(folder + QStringLiteral("/quilmarr.svg"));
  if (!renderer.isValid()) {
    std::fprintf(stderr, "cannot read the SVG\n");
    return 1;
  }
  std::vector<std::pair<int, QByteArray>> images;
  for (const int size : kSizes) {
    QByteArray png = RenderPng(renderer, size);
    if (!WriteFile(folder + QStringLiteral("/icons/quilmarr-%1.png").arg(size), png)) {
      std::fprintf(stderr, "cannot write the %d px PNG\n", size);
      return 1;
    }
    images.emplace_back(size, std::move(png));
  }
  if (!WriteFile(folder + QStringLiteral("/icons/quilmarr.ico"), BuildIco(images))) {
    std::fprintf(stderr, "cannot write the ICO\n");
    return 1;
  }
  return 0;
}
