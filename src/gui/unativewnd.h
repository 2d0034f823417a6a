#pragma once
// A bare pop-up window for floating tool windows that must not take the focus from the main
// window: no caption or system frame, a two-pixel 3D frame of its own, border zones that
// resize it, never active (a click only brings it to the front and leaves the keyboard focus
// with its owner), hidden instead of closed, and WM_USER handed to a virtual operation.
// GUI thread only.

#include "platform/window/window.h"

// Border zones of a point inside a W x H rectangle: 4 pixels deep along each edge, the corner
// zones 16 pixels along both edges, numbered clockwise from the top-left: 1 top-left, 2 top,
// 3 top-right, 4 right, 5 bottom-right, 6 bottom, 7 bottom-left, 8 left, 0 inside.
int BorderZone(int X, int Y, int W, int H);
// The framework cursor number of a zone's sizing cursor (crArrow for 0).
int BorderZoneCursor(int Zone);

class TNativeWin {
public:
    // A hidden pop-up of AWidth x AHeight at (200, 200), owned by AParentWnd.
    TNativeWin(platform::HWND AParentWnd, int AWidth, int AHeight);
    virtual ~TNativeWin();
    TNativeWin(const TNativeWin&) = delete;
    TNativeWin& operator=(const TNativeWin&) = delete;

    platform::HWND ParentWnd = 0;
    platform::HWND Handle = 0;
    bool Visible = false;
    int SizeZone = 0;
    platform::TPoint LastCursor;
    bool InDrag = false;
    // The 3D frame; a descendant that draws its own border clears it.
    bool Framed = true;

    // After every resize step of a border drag.
    virtual void BoundsChanged() {}
    // The window was hidden (a close request or Hide).
    virtual void Hidden() { Visible = false; }
    // On top of the others, without activating, moving or sizing it.
    virtual void Show();
    // Every WM_USER sent or posted to the window.
    virtual void UserMessage(platform::WPARAM /*WParam*/) {}

    int GetLeft() const;
    int GetTop() const;
    int GetWidth() const;
    int GetHeight() const;
    void SetLeft(int X);
    void SetTop(int Y);
    void SetWidth(int W);
    void SetHeight(int H);
    void Hide();
    // Paints the invalid areas now.
    void Update();

private:
    static platform::LRESULT WindowProc(platform::HWND h, platform::UINT msg, platform::WPARAM w,
                                        platform::LPARAM l);
    void DragStep();
    void PaintFrame();
};
