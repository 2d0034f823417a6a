// Forms with Qt widget controls on an open display (Qt's offscreen platform): the widgets
// share the display's application, settle without endless repainting, and take keys from
// the display through the framework.
#include "platform/forms/application.h"
#include "platform/forms/edit.h"
#include "platform/window/qt_fixture.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace forms_test {
namespace {

using FormsQtTest = QtTest;

TEST_F(FormsQtTest, EditOnTheDisplaySettlesAndTakesKeys) {
    auto* form = new TForm(nullptr);
    form->SetBounds(20, 20, 200, 100);
    auto* edit = new TEdit(form);
    edit->Parent = form;
    edit->OnKeyPress = [](TObject*, char32_t& k) {
        if (k == 'q') k = 0;
    };
    form->Show();
    ASSERT_TRUE(
        SpinUntil([&] { return Qw(form->Handle()) && Qw(form->Handle())->isVisible(); }, 2000));
    Spin(100);
    int paints = 0;
    WndProc old = SetWindowProc(edit->Handle(), [&](HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == WM_PAINT) ++paints;
        return CallWindowProc(old, h, m, w, l);
    });
    Spin(300);
    EXPECT_LT(paints, 10) << "an idle edit does not repaint without end";
    QtWindow* qw = Qw(form->Handle());
    for (QChar c : QStringLiteral("aqb")) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A + (c.unicode() - 'a'), Qt::NoModifier,
                        QString(c));
        QCoreApplication::sendEvent(qw, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A + (c.unicode() - 'a'), Qt::NoModifier,
                          QString(c));
        QCoreApplication::sendEvent(qw, &release);
    }
    Spin(50);
    EXPECT_EQ(edit->Text(), "ab");
    SetWindowProc(edit->Handle(), old);
    form->Free();
}

TEST(FormsQtAdopt, EditsMadeBeforeTheDisplayKeepTheirState) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    auto* form = new TForm(nullptr);
    auto* edit = new TEdit(form);
    edit->Parent = form;
    edit->Text = "kept";
    std::string error;
    ASSERT_TRUE(OpenDisplay(&error)) << error;
    EXPECT_EQ(edit->Text(), "kept");
    CloseDisplay();
    EXPECT_EQ(edit->Text(), "kept") << "the widgets' application stays while they need it";
    form->Free();
    EXPECT_EQ(QCoreApplication::instance(), nullptr) << "and goes with the last of them";
}

} // namespace
} // namespace forms_test
