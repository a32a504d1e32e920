// Saves a picture of the X screen named by DISPLAY: the end-to-end run's artifact.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    QGuiApplication app(argc, argv);
    return QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG") ? 0 : 1;
}
