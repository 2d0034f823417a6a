#include "app/form_shot.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

bool SaveFormShot(platform::TForm* Form, const std::string& Path) {
    if (!Form) return false;
    QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    if (screen.isNull()) return false;
    platform::TRect r{};
    platform::GetWindowRect(Form->Handle(), &r);
    return screen.copy(r.Left, r.Top, r.Width(), r.Height()).save(QString::fromStdString(Path));
}
