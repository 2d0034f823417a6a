#include "platform/menus/qt_dialogs.h"

#include "platform/gdi/textcodec.h"
#include "platform/menus/commdlg.h"
#include "platform/window/input.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace platform {

namespace {

QString Q(std::string_view text) {
    std::u32string u = DecodeDisplayText(text);
    return QString::fromUcs4(u.data(), qsizetype(u.size()));
}

std::string S(const QString& s) {
    return s.toStdString();
}

// A modal Qt dialog takes the keyboard, with the releases of the keys that opened it (Ctrl+O):
// the window layer forgets those keys, or Ctrl would stay held for it and Alt+F become
// Ctrl+Alt+F. When the dialog goes, nothing gives the keyboard back on X11 without a window
// manager (it falls to the root window), and a window manager may give it to another window:
// the window that was active before the dialog takes it back.
class TKeepActiveWindow {
public:
    TKeepActiveWindow() : window_(QApplication::activeWindow()) {}
    ~TKeepActiveWindow() {
        const Qt::KeyboardModifiers held = QGuiApplication::queryKeyboardModifiers();
        ForgetKeysReleasedElsewhere(held & Qt::ShiftModifier, held & Qt::ControlModifier,
                                    held & Qt::AltModifier);
        if (!window_ || !window_->isVisible()) return;
        window_->raise();
        window_->activateWindow();
    }
    TKeepActiveWindow(const TKeepActiveWindow&) = delete;
    TKeepActiveWindow& operator=(const TKeepActiveWindow&) = delete;

private:
    QPointer<QWidget> window_;
};

int QtMessageBox(std::string_view text, std::string_view caption, unsigned flags) {
    TKeepActiveWindow keep;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (flags & MB_ICONMASK) {
    case MB_ICONERROR:
        icon = QMessageBox::Critical;
        break;
    case MB_ICONQUESTION:
        icon = QMessageBox::Question;
        break;
    case MB_ICONWARNING:
        icon = QMessageBox::Warning;
        break;
    case MB_ICONINFORMATION:
        icon = QMessageBox::Information;
        break;
    default:
        break;
    }
    QMessageBox box(icon, Q(caption), Q(text));
    struct Button {
        int id;
        const char* label;
        QMessageBox::ButtonRole role;
    };
    static const Button kinds[] = {{IDOK, "OK", QMessageBox::AcceptRole},
                                   {IDCANCEL, "Cancel", QMessageBox::RejectRole},
                                   {IDABORT, "&Abort", QMessageBox::RejectRole},
                                   {IDRETRY, "&Retry", QMessageBox::AcceptRole},
                                   {IDIGNORE, "&Ignore", QMessageBox::AcceptRole},
                                   {IDYES, "&Yes", QMessageBox::YesRole},
                                   {IDNO, "&No", QMessageBox::NoRole}};
    std::vector<std::pair<QAbstractButton*, int>> buttons;
    const int def = MessageBoxDefaultAnswer(flags);
    for (int id : MessageBoxButtons(flags))
        for (const Button& k : kinds)
            if (k.id == id) {
                QPushButton* b = box.addButton(QString::fromUtf8(k.label), k.role);
                buttons.push_back({b, id});
                if (id == def) box.setDefaultButton(b);
                if (id == IDCANCEL ||
                    (id == IDOK && buttons.size() == 1 && MessageBoxButtons(flags).size() == 1))
                    box.setEscapeButton(b);
            }
    box.exec();
    for (auto& [b, id] : buttons)
        if (box.clickedButton() == b) return id;
    // Closed without a button: what Escape would have answered.
    auto all = MessageBoxButtons(flags);
    for (int id : all)
        if (id == IDCANCEL) return id;
    return all.size() == 1 ? all[0] : IDNO;
}

// While a filter that names programs is chosen, only folders and the files the user may
// execute are listed (the filter's name pattern lets every file through).
class TProgramsProxy final : public QSortFilterProxyModel {
public:
    void SetPrograms(bool On) {
        programs_ = On;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        auto* fs = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!programs_ || !fs) return true;
        const QModelIndex i = fs->index(row, 0, parent);
        return fs->isDir(i) || FileFilterMatches("*.exe", S(fs->filePath(i)));
    }

private:
    bool programs_ = false;
};

// For each filter of the request: does it name programs?
std::vector<bool> ProgramFilters(std::string_view filter) {
    std::vector<bool> out;
    const QStringList parts = Q(filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        out.push_back(FilterNamesPrograms(S(parts[i + 1])));
    return out;
}

// The save dialog asks before it takes an existing file, with our own box over it; No leaves
// it open with the name typed.
class TFileDialog final : public QFileDialog {
public:
    TFileDialog(const QString& Title, TFileDialogRequest& Request)
        : QFileDialog(nullptr, Title), request_(Request) {}

protected:
    void accept() override {
        if (acceptMode() == AcceptSave) {
            const QStringList chosen = selectedFiles();
            if (!chosen.isEmpty() && !QFileInfo(chosen.first()).isDir()) {
                if (!MayReplaceFile(S(chosen.first()), request_.Title)) return;
                request_.ReplaceAsked = true;
            }
        }
        QFileDialog::accept();
    }

private:
    TFileDialogRequest& request_;
};

bool QtFileDialog(TFileDialogRequest& r, bool save) {
    TKeepActiveWindow keep;
    TFileDialog dlg(Q(r.Title), r);
    dlg.setOption(QFileDialog::DontUseNativeDialog);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (save)
        dlg.setFileMode(QFileDialog::AnyFile);
    else
        dlg.setFileMode(r.AllowMultiSelect ? QFileDialog::ExistingFiles
                        : r.FileMustExist  ? QFileDialog::ExistingFile
                                           : QFileDialog::AnyFile);
    if (save) dlg.setOption(QFileDialog::DontConfirmOverwrite); // TFileDialog asks
    const QStringList filters = QtNameFilters(r.Filter);
    const std::vector<bool> programs = ProgramFilters(r.Filter);
    TProgramsProxy* proxy = nullptr;
    if (std::find(programs.begin(), programs.end(), true) != programs.end()) {
        proxy = new TProgramsProxy;
        dlg.setProxyModel(proxy); // the dialog owns it
        QObject::connect(&dlg, &QFileDialog::filterSelected, [&](const QString& chosen) {
            const qsizetype i = filters.indexOf(chosen);
            proxy->SetPrograms(i >= 0 && std::size_t(i) < programs.size() && programs[i]);
        });
    }
    if (!filters.isEmpty()) {
        dlg.setNameFilters(filters);
        const int index = r.FilterIndex >= 1 && r.FilterIndex <= filters.size() ? r.FilterIndex : 1;
        dlg.selectNameFilter(filters[index - 1]);
        if (proxy) proxy->SetPrograms(programs[std::size_t(index - 1)]);
    }
    if (!r.DefaultExt.empty()) dlg.setDefaultSuffix(Q(r.DefaultExt));
    if (!r.InitialDir.empty()) dlg.setDirectory(Q(r.InitialDir));
    if (!r.FileName.empty()) {
        QFileInfo fi(Q(r.FileName));
        if (r.InitialDir.empty() && fi.isAbsolute()) dlg.setDirectory(fi.absolutePath());
        dlg.selectFile(fi.fileName());
    }
    if (dlg.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dlg.selectedFiles();
    if (chosen.isEmpty()) return false;
    r.Files.clear();
    for (const QString& f : chosen)
        r.Files.push_back(S(f));
    r.FileName = r.Files.front();
    if (int i = filters.indexOf(dlg.selectedNameFilter()); i >= 0) r.FilterIndex = i + 1;
    return true;
}

bool QtColorDialog(std::uint32_t& color) {
    TKeepActiveWindow keep;
    QColor start(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
    QColor c = QColorDialog::getColor(start, nullptr, QString(), QColorDialog::DontUseNativeDialog);
    if (!c.isValid()) return false;
    color =
        std::uint32_t(c.red()) | (std::uint32_t(c.green()) << 8) | (std::uint32_t(c.blue()) << 16);
    return true;
}

bool QtFontDialog(TFontRequest& font) {
    TKeepActiveWindow keep;
    QFont start(Q(font.Name));
    start.setPointSize(std::max(1, font.Size));
    start.setBold(font.Bold);
    start.setItalic(font.Italic);
    start.setUnderline(font.Underline);
    start.setStrikeOut(font.StrikeOut);
    bool ok = false;
    QFont f =
        QFontDialog::getFont(&ok, start, nullptr, QString(), QFontDialog::DontUseNativeDialog);
    if (!ok) return false;
    font.Name = S(f.family());
    font.Size = f.pointSize() > 0 ? f.pointSize() : font.Size;
    font.Bold = f.bold();
    font.Italic = f.italic();
    font.Underline = f.underline();
    font.StrikeOut = f.strikeOut();
    return true;
}

bool QtFolderDialog(std::string_view caption, std::string& folder) {
    TKeepActiveWindow keep;
    QString dir = QFileDialog::getExistingDirectory(nullptr, Q(caption), Q(folder),
                                                    QFileDialog::DontUseNativeDialog |
                                                        QFileDialog::ShowDirsOnly);
    if (dir.isEmpty()) return false;
    folder = S(dir);
    return true;
}

} // namespace

QStringList QtNameFilters(std::string_view filter) {
    QStringList out;
    const QStringList parts = Q(filter).split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        // Programs carry no extension here: the file list decides (TProgramsProxy).
        if (FilterNamesPrograms(S(patterns))) patterns = QStringLiteral("*");
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString name = parts[i];
        // Qt reads the patterns from the last parentheses of the name: give it them.
        if (qsizetype open = name.lastIndexOf(QLatin1Char('(')); open >= 0)
            name = name.left(open).trimmed();
        out.push_back(name + QStringLiteral(" (") + patterns.trimmed() + QLatin1Char(')'));
    }
    return out;
}

TDialogHooks QtDialogHooks(const TDialogHooks& current) {
    TDialogHooks h = current;
    if (!h.MessageBox) h.MessageBox = QtMessageBox;
    if (!h.OpenFileName)
        h.OpenFileName = [](TFileDialogRequest& r) { return QtFileDialog(r, false); };
    if (!h.SaveFileName)
        h.SaveFileName = [](TFileDialogRequest& r) { return QtFileDialog(r, true); };
    if (!h.SelectDirectory) h.SelectDirectory = QtFolderDialog;
    if (!h.ChooseColor) h.ChooseColor = QtColorDialog;
    if (!h.ChooseFont) h.ChooseFont = QtFontDialog;
    return h;
}

} // namespace platform
