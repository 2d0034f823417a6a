// The reference of bench_startup: a minimal Qt program that shows one window of the main
// window's size and runs its event loop.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget w;
    w.setWindowTitle("Reference");
    w.resize(1024, 740);
    w.show();
    return app.exec();
}
