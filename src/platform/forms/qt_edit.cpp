#include "platform/forms/edit.h"

#include "platform/forms/qt_widgetcontrol.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>

namespace platform {
namespace {

QLineEdit* Line(const TEdit* e) {
    return static_cast<QLineEdit*>(const_cast<TEdit*>(e)->Widget());
}

QString Cased(QString s, TEditCharCase c) {
    return c == ecUpperCase ? s.toUpper() : c == ecLowerCase ? s.toLower() : s;
}

} // namespace

TEdit::TEdit(TComponent* AOwner) : TWidgetControl(AOwner) {
    width_ = 121;
    height_ = 21;
    cursor_ = crIBeam;
}

TEdit::~TEdit() = default;

QWidget* TEdit::CreateWidget() {
    auto* w = new QLineEdit;
    w->setReadOnly(readOnly_);
    return w;
}

void TEdit::WidgetCreated() {
    QObject::connect(Line(this), &QLineEdit::textChanged, [this](const QString&) {
        Modified = true;
        WidgetChanged();
        Guarded([this] { Change(); });
    });
}

void TEdit::Change() {
    Fire(OnChange, this);
}

std::string TEdit::GetText() const {
    return Line(this)->text().toStdString();
}

void TEdit::SetText(const std::string& s) {
    QString q = Cased(QString::fromUtf8(s.data(), qsizetype(s.size())), charCase_);
    if (q == Line(this)->text()) return;
    Line(this)->setText(q);
}

void TEdit::SetMaxLength(int v) {
    // Limits what the user types or pastes; text already there or set in code stays whole.
    maxLength_ = std::max(0, v);
}

void TEdit::SetReadOnly(bool v) {
    readOnly_ = v;
    Line(this)->setReadOnly(v);
    WidgetChanged();
}

void TEdit::SetCharCase(TEditCharCase v) {
    charCase_ = v;
    if (v != ecNormal) {
        QString t = Line(this)->text();
        if (Cased(t, v) != t) Line(this)->setText(Cased(t, v));
    }
}

int TEdit::GetSelStart() const {
    QLineEdit* l = Line(this);
    return l->hasSelectedText() ? l->selectionStart() : l->cursorPosition();
}

void TEdit::SetSelStart(int v) {
    Line(this)->setCursorPosition(v);
    WidgetChanged();
}

int TEdit::GetSelLength() const {
    return int(Line(this)->selectedText().size());
}

void TEdit::SetSelLength(int v) {
    QLineEdit* l = Line(this);
    const int start = GetSelStart();
    if (v <= 0)
        l->setCursorPosition(start);
    else
        l->setSelection(start, v);
    WidgetChanged();
}

std::string TEdit::SelText() const {
    return Line(this)->selectedText().toStdString();
}

void TEdit::SelectAll() {
    Line(this)->selectAll();
    WidgetChanged();
}

void TEdit::PassKey(UINT msg, WPARAM key, LPARAM l) {
    // Upper or lower case as the character goes in.
    if (msg == WM_CHAR && charCase_ != ecNormal && key >= 32) {
        const char32_t ch = char32_t(key);
        QString c = Cased(QString::fromUcs4(&ch, 1), charCase_);
        if (!c.isEmpty()) key = WPARAM(c.toUcs4().value(0));
    }
    if (maxLength_ > 0 && !readOnly_) {
        QLineEdit* line = Line(this);
        const int room = maxLength_ - int(line->text().size() - line->selectedText().size());
        const bool typed = msg == WM_CHAR && key >= 32 && key != 127;
        if (typed && room <= 0) return;
        const bool paste =
            (msg == WM_KEYDOWN && key == 'V' && (KeyboardShiftState() & ssCtrl)) ||
            (msg == WM_KEYDOWN && key == VK_INSERT && (KeyboardShiftState() & ssShift));
        if (paste) {
            if (room > 0) line->insert(QApplication::clipboard()->text().left(room));
            WidgetChanged();
            return;
        }
    }
    TWidgetControl::PassKey(msg, key, l);
}

} // namespace platform
