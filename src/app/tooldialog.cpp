#include "app/tooldialog.h"

#include "app/main.h"
#include "song/song.h"

#include <array>

using namespace platform;

namespace {

constexpr int kTitleStart = 2, kTitleEnd = 16, kTitleStep = 2;
constexpr int kButtonWidth = 60, kButtonHeight = 23, kButtonGap = 5;
constexpr int kIconWidth = 27, kIconHeight = 23;
constexpr TColor kGlyphBack = 0xFF00FF; // transparent

void ClearGlyph(TBitmap& Glyph) {
    Glyph.SetSize(16, 16);
    TCanvas& c = Glyph.Canvas();
    c.Brush.Color = kGlyphBack;
    c.FillRect(TRect{0, 0, 16, 16});
    c.Brush.Color = 0x30B040;
    c.Pen.Color = 0x1E6E28;
    Glyph.SetTransparentColor(kGlyphBack);
}

} // namespace

void DrawPlayGlyph(TBitmap& Glyph) {
    ClearGlyph(Glyph);
    const std::array<TPoint, 3> tri{TPoint{4, 2}, TPoint{13, 8}, TPoint{4, 14}};
    Glyph.Canvas().Polygon(tri);
}

void DrawStopGlyph(TBitmap& Glyph) {
    ClearGlyph(Glyph);
    TCanvas& c = Glyph.Canvas();
    c.Brush.Color = 0x3838D0;
    c.Pen.Color = 0x1C1C80;
    c.Rectangle(3, 3, 13, 13);
}

TToolDialog::TToolDialog(TComponent* AOwner, const std::string& Title) : TForm(AOwner) {
    BorderStyle = bsDialog;
    Position = poScreenCenter;
    Caption = Title;
    titleTimer.Enabled = false;
    titleTimer.Interval = 10;
    titleTimer.OnTimer = [this] {
        const int next = labelTitle->Font.Size() + kTitleStep;
        if (next >= kTitleEnd) titleTimer.Enabled = false;
        labelTitle->Font.SetSize(std::min(next, kTitleEnd));
    };

    panelLeftBar = new TPanel(this);
    panelLeftBar->Parent = this;
    panelLeftBar->Align = alLeft;
    panelLeftBar->Width = kBarWidth;
    panelLeftBar->BevelOuter = bvNone;
    panelLeftBar->Color = clBlack;
    panelLeftBar->Caption = "";

    labelTitle = new TRotateLabel(this);
    labelTitle->Parent = panelLeftBar;
    labelTitle->Escapement = 90;
    labelTitle->TextStyle = tsNone;
    labelTitle->Transparent = true;
    labelTitle->Caption = Title;
    labelTitle->SetBounds(4, 6, 24, 24);
    {
        TFont f = labelTitle->Font.Get();
        f.Style = fsBold;
        f.Color = 0xC0C0C0;
        f.SetSize(kTitleEnd);
        labelTitle->Font = f;
    }
    labelTitle->OnClick = [this](TObject* s) {
        if (OnTitleClick) OnTitleClick(s);
    };

    labelHelp = new TLabel(this);
    labelHelp->Parent = panelLeftBar;
    labelHelp->AutoSize = false;
    labelHelp->WordWrap = true;
    labelHelp->Transparent = true;
    labelHelp->SetBounds(30, 8, kBarWidth - 32, 120);
    {
        TFont f = labelHelp->Font.Get();
        f.Name = "Arial";
        f.SetSize(7);
        f.Color = 0xC0C0C0;
        labelHelp->Font = f;
    }
    OnResize = [this](TObject*) {
        PlaceBarControls();
        Invalidate(); // a grown window has area that was never painted
    };
}

void TToolDialog::SetHelp(const std::string& Text) {
    labelHelp->Caption = Text;
}

TButton* TToolDialog::AddButton(const std::string& Caption, TModalResult Result) {
    auto* b = new TButton(this);
    b->Parent = panelLeftBar;
    b->Caption = Caption;
    b->ModalResult = Result;
    b->SetBounds(kButtonGap, 0, kButtonWidth, kButtonHeight);
    if (Caption == "&OK") {
        b->Default = true;
        btnOk = b;
    } else if (Caption == "&Cancel") {
        b->Cancel = true;
        btnCancel = b;
    } else if (Caption == "&Close") {
        b->Cancel = true;
        btnClose = b;
    }
    b->Tag = buttons_++;
    PlaceBarControls();
    return b;
}

void TToolDialog::AddTransportIcons() {
    btnPlay = new TSpeedButton(this);
    btnStop = new TSpeedButton(this);
    for (TSpeedButton* b : {btnPlay, btnStop}) {
        b->Parent = panelLeftBar;
        b->GroupIndex = 1;
        b->Flat = true;
        b->SetBounds(0, 0, kIconWidth, kIconHeight);
    }
    DrawPlayGlyph(btnPlay->Glyph);
    DrawStopGlyph(btnStop->Glyph);
    btnPlay->Hint = "Play";
    btnStop->Hint = "Stop";
    btnPlay->OnClick = [this](TObject*) {
        if (fmMdi) fmMdi->StartPlayback(false);
        ShowTransportState();
    };
    btnStop->OnClick = [this](TObject*) {
        if (fmMdi) fmMdi->StopPlayback(false);
        ShowTransportState();
    };
    PlaceBarControls();
}

void TToolDialog::ShowTransportState() {
    if (!btnPlay) return;
    const bool stopped = !Song || Song->State == 0;
    (stopped ? btnStop : btnPlay)->Down = true;
    (stopped ? btnPlay : btnStop)->Down = false;
    btnPlay->Invalidate();
    btnStop->Invalidate();
}

// The buttons stacked at the bar's bottom in the order they were added, the icons above them.
void TToolDialog::PlaceBarControls() {
    const int top = panelLeftBar->ClientHeight - buttons_ * (kButtonHeight + kButtonGap);
    for (int i = 0; i < ComponentCount(); ++i) {
        auto* b = dynamic_cast<TButton*>(Components(i));
        if (!b || b->Parent() != panelLeftBar) continue;
        b->SetBounds(kButtonGap, top + b->Tag * (kButtonHeight + kButtonGap), kButtonWidth,
                     kButtonHeight);
    }
    if (btnPlay) {
        const int y = top - kIconHeight - 6;
        btnPlay->SetBounds(kButtonGap + 2, y, kIconWidth, kIconHeight);
        btnStop->SetBounds(kBarWidth - kButtonGap - 2 - kIconWidth, y, kIconWidth, kIconHeight);
    }
}

void TToolDialog::DoShow() {
    if (fmMdi) {
        panelLeftBar->Color = fmMdi->ControlBkColor;
        labelHelp->Font.Color = fmMdi->ControlTextColor;
        labelTitle->Font.Color = fmMdi->ControlTextColor;
    }
    labelTitle->Font.SetSize(kTitleStart);
    titleTimer.Enabled = true;
    ShowTransportState();
    PlaceBarControls();
    Invalidate();
    TForm::DoShow();
}

void TToolDialog::DoHide() {
    titleTimer.Enabled = false;
    TForm::DoHide();
}
