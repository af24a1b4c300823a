// Files: the plot's picture, the session, the report, a table or session opened or dropped
// on the window, and the question about unsaved work before it goes.
#include "window/reg_window.h"

#include "render/plot_painter.h"
#include "render/report.h"
#include "run/paste_table.h"
#include "run/rejection.h"
#include "run/session.h"
#include "run/status_text.h"
#include "run/table_file.h"
#include "window/message_boxes.h"
#include "window/plot_widget.h"
#include "window/wait_cursor.h"
#include "workbook/workbook.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <utility>

namespace kalibrix {

namespace {

constexpr const char* kSessionSuffix = "kalibrix";

// `file` with `suffix` added unless it ends in one of `suffixes` already.
QString withSuffix(QString file, const QString& suffix, const QStringList& suffixes)
{
    if (!suffixes.contains(QFileInfo(file).suffix().toLower()))
        file += QStringLiteral(".") + suffix;
    return file;
}

std::filesystem::path pathOf(const QString& file)
{
    return std::filesystem::path(QFile::encodeName(file).toStdString());
}

// A session's text to its end (up to the most a session may have), or why it could not be
// read.
struct OpenedText {
    std::string text;
    std::optional<QString> error;
};

OpenedText readSessionFile(const QString& file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {{}, in.errorString()};
    std::string text = in.read(static_cast<qint64>(kMaxSessionBytes) + 1).toStdString();
    if (in.error() != QFileDevice::NoError)
        return {{}, in.errorString()};
    return {std::move(text), std::nullopt};
}

}  // namespace

bool RegWindow::savePlotFile(const QString& file, QString* error) const
{
    return savePlot(m_plot->shownPlot(), file, m_plot->size(), error, m_plot->devicePixelRatioF());
}

void RegWindow::savePlotAs()
{
    const QStringList suffixes{"png", "svg", "pdf"};
    const QStringList filters{tr("PNG picture (*.png)"), tr("SVG drawing (*.svg)"),
                              tr("PDF document (*.pdf)")};
    QString filter = filters[0];
    const QString file = QFileDialog::getSaveFileName(
        this, tr("Save plot"), QStringLiteral("kalibrix-plot.png"), filters.join(";;"), &filter);
    if (file.isEmpty())
        return;
    const QString named =
        withSuffix(file, suffixes[std::max<qsizetype>(0, filters.indexOf(filter))], suffixes);
    QString error;
    if (!savePlotFile(named, &error))
        MessageBoxes::show(this, {error.toStdString(), MessageIcon::Exclamation, kAppTitle});
    else
        showStatus(tr("Saved the plot to %1").arg(named).toStdString());
}

// With marks pending, a saved session and a report both run the fits first: the screen,
// the session and the report then describe one state.
bool RegWindow::saveSessionFile(const QString& file, QString* error)
{
    const std::size_t pending = pendingMarks(m_state);
    if (pending > 0)
        plotAndCalculate();
    if (const std::optional<std::string> failed = saveSession(m_state, pathOf(file))) {
        if (error)
            *error = tr("The session could not be saved to %1: %2")
                         .arg(file, QString::fromStdString(*failed));
        return false;
    }
    m_sessionFile = file;
    m_undo.setClean();
    m_savedSettings = m_state.settings;
    showStatus(tr("Saved the session to %1").arg(file).toStdString() + appliedMarksText(pending));
    return true;
}

void RegWindow::saveSessionAs() { saveSessionChosen(); }

// Saves the session to a file the user chooses; false when none was chosen or it failed.
bool RegWindow::saveSessionChosen()
{
    const QString file = QFileDialog::getSaveFileName(
        this, tr("Save session"), m_sessionFile.isEmpty() ? "session.kalibrix" : m_sessionFile,
        tr("KALIBRIX session (*.kalibrix)"));
    if (file.isEmpty())
        return false;
    QString error;
    if (saveSessionFile(withSuffix(file, kSessionSuffix, {kSessionSuffix}), &error))
        return true;
    MessageBoxes::show(this, {error.toStdString(), MessageIcon::Exclamation, kAppTitle});
    return false;
}

// Writes a file of the last run through `write`, which gets the table's source: the fits run
// first when marks wait for them. On failure `failure` (with %1 the file, %2 the reason) goes
// to `error`; on success `done` (with %1 the file) to the status line.
bool RegWindow::writeRunFile(
    const QString& file, QString* error, const QString& failure, const QString& done,
    const std::function<std::optional<std::string>(const std::string&)>& write)
{
    const WaitCursor hourglass;  // many analytes of thousands of standards take seconds
    const std::size_t pending = pendingMarks(m_state);
    if (pending > 0)
        plotAndCalculate();
    const std::string source =
        m_sessionFile.isEmpty() ? m_state.source.origin : "session " + m_sessionFile.toStdString();
    if (const std::optional<std::string> failed = write(source)) {
        if (error)
            *error = failure.arg(file, QString::fromStdString(*failed));
        return false;
    }
    showStatus(done.arg(file).toStdString() + appliedMarksText(pending));
    return true;
}

bool RegWindow::saveReportFile(const QString& file, QString* error)
{
    return writeRunFile(file, error, tr("The report could not be written to %1: %2"),
                        tr("Wrote the report to %1"), [&](const std::string& source) {
                            return writeReport(m_state, m_fmt, pathOf(file), source,
                                               QDateTime::currentDateTime());
                        });
}

void RegWindow::reportAs()
{
    const QString file = QFileDialog::getSaveFileName(this, tr("Write report"),
                                                      QStringLiteral("kalibrix-report.pdf"),
                                                      tr("PDF document (*.pdf)"));
    if (file.isEmpty())
        return;
    QString error;
    if (!saveReportFile(withSuffix(file, "pdf", {"pdf"}), &error))
        MessageBoxes::show(this, {error.toStdString(), MessageIcon::Exclamation, kAppTitle});
}

bool RegWindow::saveResultsFile(const QString& file, QString* error)
{
    return writeRunFile(file, error, tr("The results could not be saved to %1: %2"),
                        tr("Saved the results to %1"), [&](const std::string& source) {
                            return writeWorkbook(m_state, m_fmt, pathOf(file), source);
                        });
}

void RegWindow::saveResultsAs()
{
    const QString file = QFileDialog::getSaveFileName(this, tr("Save results"),
                                                      QStringLiteral("kalibrix-results.xlsx"),
                                                      tr("Excel workbook (*.xlsx)"));
    if (file.isEmpty())
        return;
    QString error;
    if (!saveResultsFile(withSuffix(file, "xlsx", {"xlsx"}), &error))
        MessageBoxes::show(this, {error.toStdString(), MessageIcon::Exclamation, kAppTitle});
}

void RegWindow::openSession()
{
    const QString file = QFileDialog::getOpenFileName(
        this, tr("Open session or table"), QString(),
        tr("KALIBRIX session (*.kalibrix);;Table (*.txt *.tsv *.tab *.csv);;All files (*)"));
    if (!file.isEmpty())
        openFile(file);
}

// A session by its ending or its first character, anything else a table. A session is read
// to its end (up to the most a session may have), a table only as far as a paste takes it.
bool RegWindow::openFile(const QString& file)
{
    bool session = QFileInfo(file).suffix().toLower() == kSessionSuffix;
    if (!session) {
        QFile peek(file);
        if (!peek.open(QIODevice::ReadOnly))
            return refuseFile(file, peek.errorString());
        session = peek.peek(4096).trimmed().startsWith('{');
    }
    // A session replaces the work: asked first, before it is read (saving may rewrite it).
    if (session && !workMayGo(tr("opening %1").arg(QFileInfo(file).fileName())))
        return false;
    if (!session)
        return openTableFile(file);
    const OpenedText read = readSessionFile(file);
    if (read.error)
        return refuseFile(file, *read.error);
    return openSessionText(file, read.text);
}

// Says why `file` cannot be opened; false.
bool RegWindow::refuseFile(const QString& file, const QString& why)
{
    MessageBoxes::show(this, {tr("%1 cannot be opened: %2").arg(file, why).toStdString(),
                              MessageIcon::Exclamation, kAppTitle});
    return false;
}

// The session in `text` replaces the work, as a fresh start.
bool RegWindow::openSessionText(const QString& file, const std::string& text)
{
    auto read = readSessionText(text);
    if (const std::string* problem = std::get_if<std::string>(&read))
        return refuseFile(file, QString::fromStdString(*problem));
    applySession(m_state, std::move(std::get<SessionContents>(read)));
    m_undo.clear();  // the session is a fresh start
    m_sessionFile = file;
    m_savedSettings = m_state.settings;
    showSettings();
    showAnalyteChoice();
    showRunPanel();
    plotAndCalculate();
    showStatus(tr("Opened the session %1").arg(file).toStdString());
    return true;
}

// The table file `file` (tab, comma or semicolon separated, UTF-8 or UTF-16), taken as a paste
// of it would be; a refusal names the file and the file's line and cell.
bool RegWindow::openTableFile(const QString& file)
{
    TableFileResult read = readTableFile(file, QLocale::system());
    if (const UserMessage* refusal = std::get_if<UserMessage>(&read)) {
        MessageBoxes::show(this, *refusal);
        return false;
    }
    TableFile& table = std::get<TableFile>(read);
    takeTable(std::move(table.table), std::move(table.source));
    return true;
}

void RegWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.front().isLocalFile())
        event->acceptProposedAction();
}

void RegWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.size() == 1 && urls.front().isLocalFile()) {
        event->acceptProposedAction();
        openFile(urls.front().toLocalFile());
    }
}

// Unsaved work: a change of the data (one the undo history leads away from the state last
// saved or opened) or of the settings since a session was last saved or opened, or since
// the start.
bool RegWindow::unsavedWork() const
{
    return !m_undo.isClean() || m_state.settings != m_savedSettings;
}

// Before `before` (opening another session, closing) replaces the work: with unsaved work
// asks whether to save it, discard it or cancel; true when it may go on.
bool RegWindow::workMayGo(const QString& before)
{
    if (!unsavedWork())
        return true;
    const QString text =
        m_sessionFile.isEmpty()
            ? tr("The data and settings are not saved in a session. Save them before %1?")
                  .arg(before)
            : tr("The changes to %1 are not saved. Save them before %2?")
                  .arg(QFileInfo(m_sessionFile).fileName(), before);
    switch (MessageBoxes::askToSave(this, {text.toStdString(), MessageIcon::None, kAppTitle})) {
    case MessageBoxes::Answer::Save:
        return saveWork();
    case MessageBoxes::Answer::Discard:
        return true;
    case MessageBoxes::Answer::Cancel:
        break;
    }
    return false;
}

// Saves the work to the session open, or asks for a file when none is; true when saved.
bool RegWindow::saveWork()
{
    if (m_sessionFile.isEmpty())
        return saveSessionChosen();
    QString error;
    if (saveSessionFile(m_sessionFile, &error))
        return true;
    MessageBoxes::show(this, {error.toStdString(), MessageIcon::Exclamation, kAppTitle});
    return false;
}

void RegWindow::closeEvent(QCloseEvent* event)
{
    if (workMayGo(tr("closing")))
        event->accept();
    else
        event->ignore();
}

}  // namespace kalibrix
