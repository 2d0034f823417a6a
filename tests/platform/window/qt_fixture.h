#pragma once
// The window-model tests with the Qt display open (the offscreen platform unless the test
// chose another): each test opens the display and closes it at its end.

#include "platform/forms/display.h"
#include "platform/window/qt_presenter.h"
#include "support/gui_xvfb.h"
#include "window_fixture.h"

#include <QEventLoop>
#include <QTimer>

#include <cstdlib>

namespace forms_test {

using testsupport::Spin;
using testsupport::SpinUntil;

class QtTest : public FormsTest {
protected:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        std::string error;
        ASSERT_TRUE(OpenDisplay(&error)) << error;
    }
    void TearDown() override {
        for (HWND h : TopLevelWindows()) DestroyWindow(h);
        CloseDisplay();
    }

    static QtWindow* Qw(HWND top) {
        QtPresenter* p = CurrentQtPresenter();
        return p ? p->Widget(top) : nullptr;
    }
};

} // namespace forms_test
