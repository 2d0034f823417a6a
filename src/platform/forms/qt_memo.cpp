#include "platform/forms/memo.h"

#include "platform/forms/qt_widgetcontrol.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextCursor>

namespace platform {
namespace {

QPlainTextEdit* Plain(const TMemo* m) {
    return static_cast<QPlainTextEdit*>(const_cast<TMemo*>(m)->Widget());
}

// Our positions count a line break as CR LF; the widget's as one character.
int OurPosition(const QPlainTextEdit* w, int pos) {
    return pos + w->document()->findBlock(pos).blockNumber();
}

int WidgetPosition(const QPlainTextEdit* w, int pos) {
    const QTextDocument* d = w->document();
    int ours = 0;
    for (QTextBlock b = d->begin(); b.isValid(); b = b.next()) {
        const int len = b.length() - 1; // without its break
        if (pos <= ours + len || !b.next().isValid())
            return b.position() + std::clamp(pos - ours, 0, len);
        ours += len + 2;
    }
    return 0;
}

} // namespace

TMemo::TMemo(TComponent* AOwner) : TWidgetControl(AOwner) {
    width_ = 185;
    height_ = 89;
    cursor_ = crIBeam;
    Lines.OnListChange = [this](TStrings::Change, int) { LinesChanged(); };
}

TMemo::~TMemo() = default;

QWidget* TMemo::CreateWidget() {
    auto* w = new QPlainTextEdit;
    w->setReadOnly(readOnly_);
    w->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return w;
}

void TMemo::WidgetCreated() {
    QObject::connect(Plain(this), &QPlainTextEdit::textChanged, [this] { TextEdited(); });
}

void TMemo::LinesChanged() {
    if (fromWidget_) return;
    QStringList l;
    for (int i = 0; i < Lines.Count(); ++i)
        l << QString::fromStdString(Lines[i]);
    fromLines_ = true;
    Plain(this)->setPlainText(l.join(QLatin1Char('\n')));
    fromLines_ = false;
    Modified = true;
    WidgetChanged();
    Guarded([this] { Change(); });
}

void TMemo::TextEdited() {
    if (fromLines_) return;
    // The lines follow what was typed; a last empty line is the end of the text.
    QStringList l = Plain(this)->toPlainText().split(QLatin1Char('\n'));
    if (!l.isEmpty() && l.last().isEmpty()) l.removeLast();
    fromWidget_ = true;
    Lines.BeginUpdate();
    Lines.Clear();
    for (const QString& s : l)
        Lines.Add(s.toStdString());
    Lines.EndUpdate();
    fromWidget_ = false;
    Modified = true;
    WidgetChanged();
    Guarded([this] { Change(); });
}

void TMemo::Change() {
    Fire(OnChange, this);
}

std::string TMemo::GetText() const {
    return Plain(this)->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toStdString();
}

void TMemo::SetText(const std::string& s) {
    Lines.SetText(s);
}

void TMemo::SetReadOnly(bool v) {
    readOnly_ = v;
    Plain(this)->setReadOnly(v);
    WidgetChanged();
}

int TMemo::GetSelStart() const {
    QPlainTextEdit* w = Plain(this);
    return OurPosition(w, w->textCursor().selectionStart());
}

void TMemo::SetSelStart(int v) {
    QPlainTextEdit* w = Plain(this);
    QTextCursor c = w->textCursor();
    c.setPosition(WidgetPosition(w, std::max(0, v)));
    w->setTextCursor(c);
    WidgetChanged();
}

int TMemo::GetSelLength() const {
    QPlainTextEdit* w = Plain(this);
    const QTextCursor c = w->textCursor();
    return OurPosition(w, c.selectionEnd()) - OurPosition(w, c.selectionStart());
}

void TMemo::SetSelLength(int v) {
    QPlainTextEdit* w = Plain(this);
    QTextCursor c = w->textCursor();
    const int start = GetSelStart();
    c.setPosition(WidgetPosition(w, start));
    c.setPosition(WidgetPosition(w, start + std::max(0, v)), QTextCursor::KeepAnchor);
    w->setTextCursor(c);
    WidgetChanged();
}

void TMemo::SelectAll() {
    Plain(this)->selectAll();
    WidgetChanged();
}

} // namespace platform
