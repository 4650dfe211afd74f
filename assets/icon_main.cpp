// kivol_icons: writes the client's application icon into a hicolor icon
// theme folder (the one argument), named by the second argument:
// <size>x<size>/apps/<name>.png for each size and scalable/apps/<name>.svg.
// The build runs it; the install copies the folder into the icon theme.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cstdio>

#include "assets/icon_painter.h"

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: kivol_icons <icon theme folder> <icon name>\n");
        return 2;
    }
    const QDir theme(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (const int size : {48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = theme.filePath(folder + u'/' + name + QStringLiteral(".png"));
        if (!theme.mkpath(folder) || !PaintIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "kivol_icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    const QString svgPath = theme.filePath(QStringLiteral("scalable/apps/") + name + QStringLiteral(".svg"));
    QFile svg(svgPath);
    if (!theme.mkpath(QStringLiteral("scalable/apps")) || !svg.open(QIODevice::WriteOnly) ||
        svg.write(IconSvg()) < 0 || !svg.flush()) {
        std::fprintf(stderr, "kivol_icons: cannot write %s\n", qPrintable(svgPath));
        return 1;
    }
    return 0;
}
