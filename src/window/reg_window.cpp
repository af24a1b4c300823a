#include "window/reg_window.h"

#include "engine/method_table.h"
#include "run/captions.h"
#include "run/driver.h"
#include "run/export.h"
#include "run/paste_table.h"
#include "run/plot.h"
#include "window/analytes_panel.h"
#include "render/report.h"
#include "window/run_panel.h"
#include "run/session.h"
#include "window/data_commands.h"
#include "window/fitting_label.h"
#include "window/message_boxes.h"
#include "render/plot_painter.h"
#include "window/plot_widget.h"
#include "window/results_grid.h"
#include "window/wrapping_buttons.h"
#include "run/rejection.h"
#include "run/run_split.h"
#include "run/sample_texts.h"
#include "run/samples.h"
#include "run/status_text.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTimer>
#include <QCloseEvent>
#include <QFontMetrics>

#include <functional>
#include <memory>
#include <utility>

namespace kalibrix {

namespace {

constexpr const char* kWindowTitle =
    "KALIBRIX - calculates interpolated values for samples between standard measurements";
constexpr const char* kAboutText =
    "KALIBRIX is a desktop program that calculates interpolated values for "
    "standard-sample-standard sequences using different methods: linear regression with its "
    "confidence band, logarithmic regression, polynomials and a zigzag line between "
    "clusters of standards.\n\n"
    "Input: paste a table from the clipboard (Ctrl+V), open a table or session file (Ctrl+O) "
    "or drop one on the window. First column: X, 2nd column: Y, a 3rd column: the error of "
    "Y. A first line of names makes every named column an analyte of its own; a column named "
    "ID (or Sample) makes the table a run: the lines of the standard's ID are the standards, "
    "the others samples, corrected in the samples table below the plot.\n\n"
    "Mouse click on data point marks it for rejection (Shift+click: at its X in every "
    "analyte); [Plot and calculate] refits with the marks. Ctrl+Z and Ctrl+Y undo and redo every "
    "change of the data.\n\n"
    "Output: copy the interpolated values to the clipboard (Ctrl+C) or a run's corrected "
    "samples (Ctrl+Shift+C), save the session "
    "(Ctrl+Shift+S), the plot (Ctrl+S) or a PDF report (Ctrl+P).";

const QKeySequence kPasteKeys(Qt::CTRL | Qt::Key_V);
const QKeySequence kCopyKeys(Qt::CTRL | Qt::Key_C);
const QKeySequence kUndoKeys(Qt::CTRL | Qt::Key_Z);
const QKeySequence kRedoKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
const QKeySequence kRedoKeysToo(Qt::CTRL | Qt::Key_Y);
const QKeySequence kSavePlotKeys(Qt::CTRL | Qt::Key_S);
const QKeySequence kSaveSessionKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
const QKeySequence kOpenKeys(Qt::CTRL | Qt::Key_O);
const QKeySequence kReportKeys(Qt::CTRL | Qt::Key_P);
const QKeySequence kCopySamplesKeys(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
constexpr const char* kSessionSuffix = "kalibrix";
const QKeySequence kPreviousAnalyteKey(Qt::Key_PageUp);
const QKeySequence kNextAnalyteKey(Qt::Key_PageDown);

constexpr int kFontPixels = 11;         // the designed 8 pt at 96 dots per inch
const QSize kSmallestWindow(320, 240);  // below this nothing can be read anyway
constexpr double kRowHeight = 225;
// The run panel's height below the designed controls, in twips.
constexpr double kRunPanelHeight = 2700;
// The analytes panel's height above it, in twips: its headings and four analytes.
constexpr double kAnalytesPanelHeight = 1500;

// Colours as designed, written &H00BBGGRR.
QColor designColour(unsigned bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}
const QColor kPolyHeadingColour = designColour(0x00008000);
const QColor kValueBackground = designColour(0x00FFFFFF);

QColor colourOf(const std::optional<Rgb>& c) { return c ? QColor(c->r, c->g, c->b) : QColor(); }

QRect inFrame(const TwipsRect& r) { return toPixels(r); }

void setTextColour(QWidget* w, const QColor& colour)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, colour);
    p.setColor(QPalette::Text, colour);
    p.setColor(QPalette::ButtonText, colour);
    w->setPalette(p);
}

void fill(QComboBox* combo, const std::vector<std::string>& items)
{
    const QSignalBlocker quiet(combo);
    combo->clear();
    for (const std::string& item : items)
        combo->addItem(QString::fromStdString(item));
}

int checkValue(const QCheckBox* box)
{
    switch (box->checkState()) {
    case Qt::Checked:
        return kTicked;
    case Qt::PartiallyChecked:
        return kGrey;
    case Qt::Unchecked:
        break;
    }
    return kUnticked;
}

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

// A drop-down list whose handler runs once for every choice of an item: the program's
// setCurrentIndex and the user's choice from the list or with the arrow keys, also of the
// item already chosen (which puts its text back in place of a typed one). In an editable
// box typing runs nothing, nor do Enter and leaving the box, although Qt then selects the
// item that matches the typed text: the typed text waits for the next run.
class ChoiceBox : public QComboBox {
public:
    using QComboBox::QComboBox;

    void onItemChosen(std::function<void()> handler)
    {
        auto changedNow = std::make_shared<bool>(false);
        connect(this, &QComboBox::currentIndexChanged, this, [=, this](int index) {
            if (index < 0 || m_finishingTypedText)
                return;
            // A user's choice of another item also emits activated right after this.
            *changedNow = true;
            QTimer::singleShot(0, this, [changedNow] { *changedNow = false; });
            handler();
        });
        connect(this, &QComboBox::activated, this, [=, this](int) {
            if (!m_finishingTypedText && !std::exchange(*changedNow, false))
                handler();
        });
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        const QScopedValueRollback quiet(m_finishingTypedText, enter);
        QComboBox::keyPressEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        const QScopedValueRollback quiet(m_finishingTypedText, true);
        QComboBox::focusOutEvent(event);
    }

private:
    bool m_finishingTypedText = false;
};

RegWindow::RegWindow(State& state, QWidget* parent)
    : QWidget(parent), m_state(state), m_fmt(NumberFormat::fromLocale(QLocale::system()))
{
    setObjectName("regWindow");
    QFont f = font();
    f.setPixelSize(kFontPixels);
    setFont(f);

    // The controls in an area that scrolls when the window is smaller than they can get, the
    // status line below it.
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFocusPolicy(Qt::NoFocus);  // a click on the plot leaves the focus where it was
    m_canvas = new QWidget;
    m_canvas->setObjectName("controls");
    m_canvas->setMinimumSize(smallestControlsSize());
    m_scroll->setWidget(m_canvas);
    m_status = new QLabel(this);
    m_status->setObjectName("lblStatus");
    m_status->setTextFormat(Qt::RichText);
    m_status->setContentsMargins(6, 0, 6, 0);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    buildControls();
    setToolTips();
    connectHandlers();
    m_canvas->installEventFilter(this);  // its resizing lays the controls out
    setMinimumSize(kSmallestWindow);
    resize(designedClientSize());
    showRunPanel();
    layoutControls();
    m_savedSettings = m_state.settings;
    refreshTitle();
}

void RegWindow::place(QWidget* widget, const TwipsRect& designed, Growth growth)
{
    m_placed.push_back({widget, designed, growth});
}

// The designed controls take the canvas but for the panels below them, each over the whole
// width: the analytes panel for several analytes, then the run panel for a run table.
void RegWindow::layoutControls()
{
    QSize area = m_canvas->size();
    const int analytes = m_analytesPanel->isHidden() ? 0 : designedPixels(kAnalytesPanelHeight);
    const int run = m_runPanel->isHidden() ? 0 : designedPixels(kRunPanelHeight);
    area.rheight() -= analytes + run;
    for (const Placed& p : m_placed)
        p.widget->setGeometry(placeInWindow(p.designed, p.growth, area));
    m_analytesPanel->setGeometry(0, area.height(), area.width(), analytes);
    m_runPanel->setGeometry(0, area.height() + analytes, area.width(), run);
}

namespace {

// A white cell for a value, in `colour` (none: the text colour).
template <class Label = QLabel>
Label* newValueLabel(QWidget* parent, const QString& name, const QColor& colour)
{
    auto* l = new Label(parent);
    l->setObjectName(name);
    l->setAutoFillBackground(true);
    QPalette p = l->palette();
    p.setColor(QPalette::Window, kValueBackground);
    if (colour.isValid())
        p.setColor(QPalette::WindowText, colour);
    l->setPalette(p);
    return l;
}

QLabel* newCaption(QWidget* parent, const QString& text, const QColor& colour,
                   Qt::Alignment align = Qt::AlignLeft)
{
    auto* l = new QLabel(text, parent);
    l->setAlignment(align | Qt::AlignVCenter);
    if (colour.isValid())
        setTextColour(l, colour);
    return l;
}

}  // namespace

void RegWindow::buildControls()
{
    auto button = [this](const char* name, const char* caption, const TwipsRect& r) {
        auto* b = new WrappingPushButton(QString::fromUtf8(caption), m_canvas);
        b->setObjectName(name);
        place(b, r);
        return b;
    };
    auto frame = [this](const char* name, const char* caption, const TwipsRect& r) {
        auto* g = new QGroupBox(QString::fromUtf8(caption), m_canvas);
        g->setObjectName(name);
        place(g, r);
        return g;
    };
    auto option = [](QWidget* parent, const char* name, const char* caption, const TwipsRect& r) {
        auto* o = new QRadioButton(QString::fromUtf8(caption), parent);
        o->setObjectName(name);
        o->setGeometry(inFrame(r));
        return o;
    };

    // Left column.
    cmdPaste = button("cmdPaste", "Paste data from clipboard", {120, 120, 855, 855});
    cmdPaste->setToolTip(tr("Paste data from clipboard (Ctrl+V)"));
    // The analyte shown, for a named table, in the room between the paste and plot buttons.
    lblAnalyte = newCaption(m_canvas, tr("Analyte"), QColor());
    lblAnalyte->setObjectName("lblAnalyte");
    place(lblAnalyte, {60, 1200, 975, kRowHeight});  // room to close ranks with the plot shorter
    cboAnalyte = new QComboBox(m_canvas);
    cboAnalyte->setObjectName("cboAnalyte");
    cboAnalyte->setToolTip(tr("The analyte shown (Page Up, Page Down)"));
    cboAnalyte->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    place(cboAnalyte, {60, 1500, 975, 330});
    lblAnalyte->setBuddy(cboAnalyte);
    cmdPlot = button("cmdPlot", "Plot and calculate", {120, 2760, 855, 735});
    QGroupBox* frame1 = frame("Frame1", "Y scale", {60, 3720, 975, 855});
    optScale[0] = option(frame1, "optScale_0", "Full", {120, 240, 795, 255});
    optScale[1] = option(frame1, "optScale_1", "Zoom", {120, 510, 795, 255});
    QGroupBox* frame2 = frame("Frame2", "X scale", {60, 4800, 975, 855});
    optScaleX[0] = option(frame2, "optScaleX_0", "Full", {120, 240, 795, 255});
    optScaleX[1] = option(frame2, "optScaleX_1", "Zoom", {120, 510, 795, 255});
    cmdRestore = button("cmdRestore", "Restore all data", {120, 5880, 855, 735});
    QGroupBox* frame3 = frame("Frame3", "Y scaling at rejection", {120, 6840, 1815, 975});
    optAllData[0] = option(frame3, "optAllData_0", "All data", {105, 270, 1695, 255});
    optAllData[1] = option(frame3, "optAllData_1", "Only unrejected", {105, 600, 1695, 255});
    cmdAbout = button("cmdAbout", "About", {120, 9000, 975, 615});
    cmdReport = button("cmdReport", "Report\u2026", {1215, 9000, 975, 615});
    const Settings& settings = m_state.settings;
    optScale[settings.scaleYFull ? 0 : 1]->setChecked(true);
    optScaleX[settings.scaleXFull ? 0 : 1]->setChecked(true);
    optAllData[settings.allData ? 0 : 1]->setChecked(true);

    // The plot and the parameter listing beyond the designed right edge.
    m_plot = new PlotWidget(m_state, m_canvas);
    m_plot->setObjectName("pict2");
    place(m_plot, PlotDisplay{}.pict2Rect, Growth::Plot);
    lblParameters = newValueLabel(m_canvas, "lblParameters", QColor());
    place(lblParameters, {kListingLeft, 120, 2655, 9135}, Growth::Listing);
    lblParameters->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblParameters->setWordWrap(true);
    lblParameters->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Counters.
    const char* counters[] = {"Maximum:", "Number of data:", "Rejected:"};
    QLabel** counterValues[] = {&lblNData, &lblnDataOK, &lblRej};
    const char* counterNames[] = {"lblNData", "lblnDataOK", "lblRej"};
    for (int i = 0; i < 3; ++i) {
        const double top = 6960 + 240 * i;
        QLabel* c = newCaption(m_canvas, QString::fromUtf8(counters[i]), QColor(), Qt::AlignRight);
        c->setObjectName(QString("%1Caption").arg(counterNames[i]));
        place(c, {2040, top, 1380, kRowHeight});
        *counterValues[i] = newValueLabel(m_canvas, counterNames[i], QColor());
        place(*counterValues[i], {3480, top, 615, kRowHeight});
    }

    buildResultsGrid();

    // The band, its level, its method and its kind.
    QGroupBox* frame4 = frame("Frame4", "", {3720, 7740, 2700, 1725});
    chkConf = new WrappingCheckBox(QStringLiteral("Show confidence band for lin. regr."), frame4);
    chkConf->setObjectName("chkConf");
    chkConf->setChecked(ticked(settings.showBand));
    chkConf->setGeometry(inFrame({120, 120, 1815, 435}));
    cboLevel = new ChoiceBox(frame4);
    cboLevel->setObjectName("cboLevel");
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(kFontPixels);
    cboLevel->setFont(fixed);
    cboLevel->setGeometry(inFrame({120, 600, 1815, 315}));
    QLabel* bandOf = newCaption(frame4, tr("Band of"), QColor());
    bandOf->setObjectName("lblBandOf");
    bandOf->setGeometry(inFrame({120, 1020, 720, kRowHeight}));
    cboBandOf = new QComboBox(frame4);
    cboBandOf->setObjectName("cboBandOf");
    cboBandOf->setGeometry(inFrame({870, 975, 1710, 315}));
    bandOf->setBuddy(cboBandOf);
    cboBandKind = new QComboBox(frame4);
    cboBandKind->setObjectName("cboBandKind");
    cboBandKind->addItems({tr("curve"), tr("new reading")});  // in UncertaintyKind's order
    cboBandKind->setCurrentIndex(static_cast<int>(settings.uncertaintyKind));
    cboBandKind->setGeometry(inFrame({120, 1350, 1815, 315}));
    // Weighting and the export's uncertainties, left of the band's frame.
    chkWeight = new WrappingCheckBox(QStringLiteral("Weight by the errors"), m_canvas);
    chkWeight->setObjectName("chkWeight");
    chkWeight->setChecked(settings.weightByErrors);
    place(chkWeight, {2250, 7800, 1410, 435});
    chkExportUnc = new WrappingCheckBox(QStringLiteral("Export uncertainties"), m_canvas);
    chkExportUnc->setObjectName("chkExportUnc");
    chkExportUnc->setChecked(settings.exportUncertainties);
    place(chkExportUnc, {2250, 8340, 1410, 435});

    // Right column.
    cmdCopy = button("cmdCopy", "Copy interpolated values to clipboard",
                     {11640 + kLooColumnWidth, 7680, 1095, 1095});
    cmdCopy->setToolTip(tr("Copy interpolated values to clipboard (Ctrl+C)"));
    cmdClose = button("cmdClose", "Close", {11640 + kLooColumnWidth, 9000, 1095, 615});

    m_runPanel = new RunPanel(m_state, m_fmt, m_canvas);
    m_runPanel->hide();
    buildAnalyteControls();
}

// One row per fit method, made from its row in the method table and the grid's columns.
void RegWindow::buildResultsGrid()
{
    for (int cell = 0; cell < kResultCells; ++cell) {
        const GridColumn& c = gridColumn(cell);
        if (c.heading)
            place(newCaption(m_canvas, QString::fromUtf8(c.heading), QColor()),
                  {c.headingLeft, kGridHeadingTop, c.headingWidth, kGridRowHeight});
    }
    place(newCaption(m_canvas, QStringLiteral("Show"), QColor()),
          {showColumnLeft() - 120, kGridHeadingTop, 600, kGridRowHeight});
    place(newCaption(m_canvas, QStringLiteral("Export"), QColor()),
          {exportColumnLeft(), kGridHeadingTop, 600, kGridRowHeight});
    m_looHeading = newCaption(m_canvas, QStringLiteral("LOO %:"), QColor());
    m_looHeading->setObjectName("lblLooHeading");
    m_looHeading->setToolTip(
        tr("Leave-one-out error: how far, in per cent of Y on average, each method misses a "
           "standard when it is fitted to the other standards; the smallest (bold) marks the "
           "method that predicts best."));
    place(m_looHeading,
          {looColumnLeft() + 45, kGridHeadingTop, kLooColumnWidth - 45, kGridRowHeight});

    const std::span<const FitMethod> methods = fitMethods();
    const std::vector<GridRow> rows = gridRows(methods);
    m_rows.resize(methods.size());
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const FitMethod& method = methods[m];
        const GridRow& row = rows[m];
        const QColor colour = colourOf(method.textColour);
        const bool firstOfGroup =
            method.group && (m == 0 || !methods[m - 1].group ||
                             std::string_view(methods[m - 1].group) != method.group);
        if (firstOfGroup) {
            QLabel* heading =
                newCaption(m_canvas, QString::fromUtf8(method.group), kPolyHeadingColour);
            heading->setWordWrap(true);
            place(heading, groupHeading(row));
        }
        if (method.caption)
            place(newCaption(m_canvas, QString::fromUtf8(method.caption), colour), row.caption);
        else
            buildDegreeBox(row.caption, colour);
        buildMethodRow(m, row.top, colour);
    }
}

// The controls of method m's row at `top`: its figures' cells in `colour`, its
// leave-one-out per cent and its Show and Export boxes, named after the method.
void RegWindow::buildMethodRow(std::size_t m, double top, const QColor& colour)
{
    static constexpr const char* kCellNames[kResultCells] = {"a",   "b",    "rSquared",
                                                             "edf", "diff", "diffPercent"};
    const FitMethod& method = fitMethods()[m];
    const QString name = QString::fromUtf8(method.name);
    MethodRow& controls = m_rows[m];
    // A figure's cell: white, in the row's colour, its text never cut.
    auto figure = [&](const QString& cellName, const TwipsRect& at) {
        auto* l = newValueLabel<FittingLabel>(m_canvas, cellName + u'_' + name, colour);
        place(l, at);
        return l;
    };
    for (int cell = 0; cell < kResultCells; ++cell) {
        if (!method.figures[cell])
            continue;
        const GridColumn& column = gridColumn(cell);
        controls.cells[cell] = figure(QString::fromUtf8(kCellNames[cell]),
                                      {column.cellLeft, top, column.cellWidth, kGridRowHeight});
    }
    controls.loo =
        figure(QStringLiteral("loo"), {looColumnLeft(), top, kLooColumnWidth - 90, kGridRowHeight});
    const Settings& settings = m_state.settings;
    auto box = [this](const QString& boxName, double left, double top, int value) {
        auto* c = new QCheckBox(m_canvas);
        c->setObjectName(boxName);
        c->setCheckState(value == kTicked ? Qt::Checked
                         : value == kGrey ? Qt::PartiallyChecked
                                          : Qt::Unchecked);
        place(c, {left, top, kGridBoxSize, kGridBoxSize});
        return c;
    };
    controls.show = box(QStringLiteral("show_") + name, showColumnLeft(), top,
                        method.alwaysFitted ? kTicked : boxOf(settings.show, method.name));
    controls.show->setEnabled(!method.alwaysFitted);
    controls.exported = box(QStringLiteral("export_") + name, exportColumnLeft(), top,
                            boxOf(settings.exported, method.name));
}

// The degree box of the chosen-degree polynomial, in place of its caption.
void RegWindow::buildDegreeBox(const TwipsRect& at, const QColor& colour)
{
    cboDegree = new ChoiceBox(m_canvas);
    cboDegree->setObjectName("cboDegree");
    place(cboDegree, at);
    QFont bold = font();
    bold.setBold(true);
    cboDegree->setFont(bold);
    setTextColour(cboDegree, colour);
    // The degree may also be typed; the level box takes only its list items, so the
    // level it shows is the one in force.
    cboDegree->setEditable(true);
    cboDegree->setInsertPolicy(QComboBox::NoInsert);
    cboDegree->setCompleter(nullptr);  // typed text stays as typed
}

// What every control does, in its tooltip.
void RegWindow::setToolTips()
{
    const std::pair<QWidget*, const char*> tips[] = {
        {cmdPlot, "Fit the ticked methods to the standards in use and redraw the plot"},
        {optScale[0], "Y axis from 0"},
        {optScale[1], "Y axis over the range of the data"},
        {optScaleX[0], "X axis from 0"},
        {optScaleX[1], "X axis over the range of the data"},
        {optAllData[0], "Scale Y to every standard, rejected ones included"},
        {optAllData[1], "Scale Y to the standards in use"},
        {cmdAbout, "About KALIBRIX"},
        {cmdReport,
         "Write a PDF report of the fits, the rejections, the settings and the plot "
         "(Ctrl+P)"},
        {cmdClose, "Close KALIBRIX"},
        {chkConf, "Show the band of the method chosen below at the level below"},
        {cboLevel, "Confidence level of the band"},
        {cboBandOf,
         "The shown method whose band is drawn and whose value the plot tells under the mouse"},
        {cboBandKind,
         "The band of the curve (how well the fit knows the drift) or of a new reading (where "
         "a further standard measured there would fall)"},
        {chkWeight,
         "Weigh each standard by 1 / error² (only with a column of errors; every standard in "
         "use needs an error above 0)"},
        {chkExportUnc, "Copy interpolated values gives each method's ± half-width after its value"},
        {cboDegree,
         "Degree of the polynomial below: pick one or type a whole number from 0 "
         "to 23, then Plot and calculate"},
        {lblNData, "Largest X of the table"},
        {lblnDataOK, "Standards with Y above 0"},
        {lblRej, "Standards rejected"},
        {lblParameters, "Parameters of the polynomial of the chosen degree"},
    };
    for (const auto& [widget, tip] : tips)
        widget->setToolTip(tr(tip));
    cmdRestore->setToolTip(tr("Take back every rejection"));

    const char* cellTips[kResultCells] = {"a (intercept) of %1",
                                          "b (slope) of %1",
                                          "r² of %1",
                                          "Effective degrees of freedom of %1: the trace of "
                                          "its hat matrix",
                                          "Average difference between data and %1",
                                          "Average difference between data and %1, in per "
                                          "cent of Y"};
    const std::span<const FitMethod> methods = fitMethods();
    for (std::size_t m = 0; m < methods.size(); ++m) {
        const QString what = QString::fromUtf8(methods[m].description);
        MethodRow& row = m_rows[m];
        row.show->setToolTip(methods[m].alwaysFitted ? tr("%1 is always fitted").arg(what)
                                                     : tr("Show %1").arg(what));
        row.exported->setToolTip(tr("Export %1 with Copy interpolated values").arg(what));
        for (int cell = 0; cell < kResultCells; ++cell)
            if (row.cells[cell])
                row.cells[cell]->setToolTip(tr(cellTips[cell]).arg(what));
    }
}

void RegWindow::connectHandlers()
{
    connect(cmdPaste, &QPushButton::clicked, this, &RegWindow::pasteFromClipboard);
    connect(cmdPlot, &QPushButton::clicked, this, [this] {
        plotAndCalculate();
        showStatus(calculatedText(m_state.results(), shownName()));
    });
    connect(cmdRestore, &QPushButton::clicked, this, &RegWindow::restoreEveryStandard);
    connect(cmdCopy, &QPushButton::clicked, this, &RegWindow::copyResults);
    connect(cmdAbout, &QPushButton::clicked, this, &RegWindow::showAbout);
    connect(cmdClose, &QPushButton::clicked, this, &RegWindow::closeFromButton);

    Settings& settings = m_state.settings;
    for (std::size_t m = 0; m < m_rows.size(); ++m) {
        QCheckBox* show = m_rows[m].show;
        if (show->isEnabled())
            connect(show, &QCheckBox::stateChanged, this, [this, &settings, m, show] {
                settings.show[fitMethods()[m].name] = checkValue(show);
                plotAndCalculate();
            });
        QCheckBox* exported = m_rows[m].exported;
        connect(exported, &QCheckBox::stateChanged, this, [this, &settings, m, exported] {
            settings.exported[fitMethods()[m].name] = checkValue(exported);
            refreshTitle();
        });
    }
    connect(chkConf, &QCheckBox::stateChanged, this, [this, &settings] {
        settings.showBand = checkValue(chkConf);
        plotAndCalculate();
    });
    connect(cboBandOf, &QComboBox::currentIndexChanged, this, [this, &settings] {
        settings.bandMethod = cboBandOf->currentData().toString().toStdString();
        plotAndCalculate();
    });
    connect(cboBandKind, &QComboBox::currentIndexChanged, this, [this, &settings](int kind) {
        settings.uncertaintyKind = static_cast<UncertaintyKind>(kind);
        plotAndCalculate();
    });
    connect(chkWeight, &QCheckBox::toggled, this, [this, &settings](bool on) {
        settings.weightByErrors = on;
        plotAndCalculate();
    });
    connect(chkExportUnc, &QCheckBox::toggled, this, [this, &settings](bool on) {
        settings.exportUncertainties = on;
        refreshTitle();
    });
    // Each pair of option buttons: the setting follows the first, every choice replots.
    const std::pair<std::array<QRadioButton*, 2>*, bool*> pairs[] = {
        {&optScale, &settings.scaleYFull},
        {&optScaleX, &settings.scaleXFull},
        {&optAllData, &settings.allData}};
    for (const auto& [options, setting] : pairs) {
        for (QRadioButton* o : *options)
            connect(o, &QRadioButton::toggled, this,
                    [this, first = (*options)[0], setting](bool on) {
                        if (!on)
                            return;
                        *setting = first->isChecked();
                        plotAndCalculate();
                    });
    }
    connect(cboDegree, &QComboBox::currentTextChanged, this,
            [this, &settings](const QString& text) {
                settings.degreeText = text.toStdString();
                refreshTitle();
            });
    cboDegree->onItemChosen([this] { plotAndCalculate(); });
    cboLevel->onItemChosen([this, &settings] {
        settings.level = cboLevel->currentIndex();
        plotAndCalculate();
    });

    connect(cboAnalyte, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index < 0 || static_cast<std::size_t>(index) == m_state.selected)
            return;
        showAnalyte(m_state, m_fmt, static_cast<std::size_t>(index));
        showCaptions();
        showRejectedCount();
        if (m_state.run) {
            m_runPanel->showSettings();
            m_runPanel->showSamples();
        }
        m_plot->update();
        showStatus(shownText(m_state.analytes[m_state.selected].name, m_state.selected,
                             m_state.analytes.size()));
    });
    m_previousAnalyte = new QShortcut(kPreviousAnalyteKey, this);
    m_nextAnalyte = new QShortcut(kNextAnalyteKey, this);
    connect(m_previousAnalyte, &QShortcut::activated, this, [this] { stepAnalyte(-1); });
    connect(m_nextAnalyte, &QShortcut::activated, this, [this] { stepAnalyte(+1); });
    showAnalyteChoice();

    connect(m_plot, &PlotWidget::standardClicked, this, [this](int x) {
        const std::string analyte = shownName();
        QString what = tr("the mark at X = %1").arg(x);
        if (!analyte.empty())
            what += tr(" of %1").arg(QString::fromStdString(analyte));
        push(new MarkCommand(m_state, m_state.selected, x, dataChanged(), what));
        showStatus(markedText(m_state.table(), x, analyte, m_fmt));
        m_statusAwaitsRun = true;
    });
    connect(m_plot, &PlotWidget::standardHovered, this, [this](int x) {
        m_hoverStandard = x;
        showHover();
    });
    connect(m_plot, &PlotWidget::positionHovered, this, [this](int x) {
        m_hoverX = x;
        showHover();
    });
    connect(new QShortcut(kUndoKeys, this), &QShortcut::activated, this, &RegWindow::undo);
    for (const QKeySequence& keys : {kRedoKeys, kRedoKeysToo})
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &RegWindow::redo);
    connect(new QShortcut(kPasteKeys, this), &QShortcut::activated, cmdPaste, &QPushButton::click);
    connect(new QShortcut(kCopyKeys, this), &QShortcut::activated, cmdCopy, &QPushButton::click);
    m_copySamples = new QShortcut(kCopySamplesKeys, this);
    connect(m_copySamples, &QShortcut::activated, this, &RegWindow::copySamples);
    connect(m_runPanel, &RunPanel::copyRequested, this, &RegWindow::copySamples);
    connect(m_runPanel, &RunPanel::standardChosen, this, &RegWindow::chooseStandard);
    connect(m_runPanel, &RunPanel::settingsChanged, this, [this] {
        // The check standard's marks change colour with its pattern.
        m_state.plot.sampleMarks = sampleMarksOf(m_state, m_state.analytes[m_state.selected].name);
        m_plot->update();
        refreshTitle();
    });
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    connect(cmdReport, &QPushButton::clicked, this, &RegWindow::reportAs);
    const std::pair<QKeySequence, void (RegWindow::*)()> files[] = {
        {kSavePlotKeys, &RegWindow::savePlotAs},
        {kSaveSessionKeys, &RegWindow::saveSessionAs},
        {kOpenKeys, &RegWindow::openSession},
        {kReportKeys, &RegWindow::reportAs}};
    for (const auto& [keys, action] : files)
        connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
    setAcceptDrops(true);
    connectAnalyteControls();
}

bool RegWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        setUpOnFirstActivation();
    const bool handled = QWidget::event(event);
    // The window manager may add its frame only after the window was shown: fit it again.
    const QEvent::Type type = event->type();
    if (m_fittedToScreen && (type == QEvent::Move || type == QEvent::Resize) &&
        windowFrame() != m_fittedFrame)
        fitToScreen();
    return handled;
}

// The window's shortcut keys (paste, copy, undo, redo, ...) belong to the window wherever the
// focus is: a text field (the degree box) would take them as a shortcut override for itself;
// left unaccepted, the override lets the window's shortcut have them.
bool RegWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_canvas && event->type() == QEvent::Resize)
        layoutControls();
    if (shiftClick(watched, event))
        return true;
    if (event->type() == QEvent::ShortcutOverride) {
        const QKeySequence keys(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const QShortcut* shortcut : findChildren<QShortcut*>(Qt::FindDirectChildrenOnly))
            if (shortcut->key() == keys)
                return true;
    }
    return QWidget::eventFilter(watched, event);
}

void RegWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!std::exchange(m_fittedToScreen, true))
        fitToScreen();
    setUpOnFirstActivation();
}

QMargins RegWindow::windowFrame() const
{
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}

// The window opens no larger than the screen's free area, its frame included, and within it;
// when the frame comes or changes later, the window fits again.
void RegWindow::fitToScreen()
{
    const QScreen* screen = this->screen();
    if (!screen || isMaximized() || isFullScreen())
        return;
    const QMargins frame = windowFrame();
    m_fittedFrame = frame;
    const QRect room = screen->availableGeometry();
    const QSize fits = size().boundedTo(room.size().shrunkBy(frame));
    if (fits != size())
        resize(fits);
    const QRect at = geometry().marginsAdded(frame);
    const QPoint into(
        std::max(0, room.left() - at.left()) - std::max(0, at.right() - room.right()),
        std::max(0, room.top() - at.top()) - std::max(0, at.bottom() - room.bottom()));
    if (!into.isNull())
        move(pos() + into);
}

void RegWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int status = designedClientSize().height() - designedControlsSize().height();
    m_scroll->setGeometry(0, 0, width(), height() - status);
    m_status->setGeometry(0, height() - status, width(), status);
    refreshStatus();
}

// The set-up of the first activation. Later activations (coming back from the spreadsheet)
// leave the chosen level and degree alone.
void RegWindow::setUpOnFirstActivation()
{
    if (std::exchange(m_activated, true))
        return;
    fill(cboDegree, degreeItems());
    cboDegree->setCurrentIndex(kDefaultDegreeItem);  // runs cboDegree's handler
    fill(cboLevel, levelItems());
    cboLevel->setCurrentIndex(kDefaultLevel);  // sets the level and runs plotAndCalculate
    m_state.settings.level = kDefaultLevel;
    plotAndCalculate();
    m_savedSettings = m_state.settings;  // the start is no unsaved work
    refreshTitle();
    if (m_state.source.origin == "demonstration table")
        showStatus(tr("The demonstration table: copy your standards and paste them (Ctrl+V)")
                       .toStdString());
}

void RegWindow::showCaptions()
{
    const Captions c = makeCaptions(m_state.results(), m_fmt, Figures::Shown);
    auto show = [](QLabel* label, const std::string& text) {
        if (label)
            label->setText(QString::fromStdString(text));
    };
    show(lblNData, c.nData);
    show(lblnDataOK, c.nDataOK);
    show(lblRej, c.rejected);
    // Every cell with its figure in full in its tooltip (r² shows two decimals).
    for (std::size_t m = 0; m < m_rows.size(); ++m)
        for (int cell = 0; cell < kResultCells; ++cell)
            if (FittingLabel* label = m_rows[m].cells[cell])
                label->setFigure(QString::fromStdString(c.cells[m][cell]),
                                 QString::fromStdString(c.fullCells[m][cell]));
    show(lblParameters, c.listing);

    // The leave-one-out column: the method with the smallest per cent as shown in bold, every
    // cell's figures in full and its error in Y units in its tooltip.
    const std::optional<std::size_t> best = m_state.results().bestPredictor;
    for (std::size_t m = 0; m < m_rows.size(); ++m) {
        FittingLabel* cell = m_rows[m].loo;
        QString tip = tr("Leave-one-out error of %1: none for this run")
                          .arg(QString::fromUtf8(fitMethods()[m].description));
        if (!c.looError[m].empty())
            tip = tr("Leave-one-out error %1 (root mean square, in Y units); %2 % of Y on "
                     "average.")
                      .arg(QString::fromStdString(c.fullLooError[m]),
                           QString::fromStdString(c.fullLooPercent[m]));
        if (const FitResult* fit = m_state.results().fit(m); fit && fit->mswd)
            tip += QStringLiteral("\n") + QString::fromStdString(mswdText(*fit->mswd, m_fmt));
        if (best == m)
            tip = tr("The smallest leave-one-out per cent: of the methods shown, this one "
                     "predicts a standard it has not seen best.") +
                  QStringLiteral("\n") + tip;
        cell->setToolTip(tip);
        cell->setFigure(QString::fromStdString(c.looPercent[m]), {}, best == m);
    }
}

void RegWindow::plotAndCalculate()
{
    const RunReport report =
        kalibrix::plotAndCalculate(m_state, m_fmt, Drawing::Build, LeaveOneOutErrors::Compute);
    if (!report.ran)
        return;
    showCaptions();
    showRejectedCount();
    showBandChoice();
    m_plot->update();
    // The run's warnings stay in the status line, highlighted, until the next run.
    m_statusWarnings.clear();
    if (std::string unweighted = unweightedText(m_state.table(), m_state.settings);
        !unweighted.empty())
        m_statusWarnings.push_back(std::move(unweighted));
    for (const FitWarning& warning : m_state.results().warnings)
        m_statusWarnings.push_back(warningText(warning));
    // A message that asked for this run has had it.
    if (m_statusAwaitsRun)
        showStatus(calculatedText(m_state.results(), shownName()));
    if (m_hoverText)
        showHover();  // of this run
    if (m_state.run) {
        m_runPanel->showSettings();  // "Correct with" lists the methods shown now
        m_runPanel->showSamples();
    }
    showAnalytesPanel();
    refreshStatus();
    refreshTitle();
}

// "Band of" lists the methods shown, as the grid names them; the weight box needs errors.
void RegWindow::showBandChoice()
{
    const QSignalBlocker quiet(cboBandOf);
    cboBandOf->clear();
    const std::span<const FitMethod> methods = fitMethods();
    for (std::size_t m = 0; m < methods.size(); ++m)
        if (isShown(methods[m], m_state.settings))
            cboBandOf->addItem(
                QString::fromStdString(methodCaption(methods[m], m_state.settings.degreeText)),
                QString::fromUtf8(methods[m].name));
    cboBandOf->setCurrentIndex(
        cboBandOf->findData(QString::fromStdString(m_state.settings.bandMethod)));
    chkWeight->setEnabled(m_state.table().nCol > 2);
}

// Over a standard the status line describes it; elsewhere over the plot it gives the band's
// method there.
void RegWindow::showHover()
{
    m_hoverText.reset();
    if (m_hoverStandard >= 0)
        m_hoverText = pointText(m_state.table(), m_hoverStandard, m_fmt);
    else if (m_hoverX >= 0 && m_state.results().computed)
        m_hoverText =
            bandValueText(m_state.results(), m_state.settings, m_state.student, m_hoverX, m_fmt);
    refreshStatus();
}

// "Rejected:" counts the standards marked now, which a click changes before the next run.
void RegWindow::showRejectedCount()
{
    if (m_state.results().computed)
        lblRej->setText(QString::number(rejectedStandards(m_state.table()).size()));
}

// What an action did; it replaces what was under the mouse until the mouse moves on.
void RegWindow::showStatus(std::string message)
{
    m_statusMessage = std::move(message);
    m_statusAwaitsRun = false;
    m_hoverText.reset();
    refreshStatus();
    refreshTitle();
}

// The status line: what is under the mouse, else the last action's message; then the
// warnings of the last run, highlighted. What does not fit is cut short with an ellipsis;
// the whole text is then in the line's tooltip.
void RegWindow::refreshStatus()
{
    const QString message = QString::fromStdString(m_hoverText ? *m_hoverText : m_statusMessage);
    const QFontMetrics metrics(m_status->font());
    const int gap = metrics.horizontalAdvance(QStringLiteral("  "));
    const int pad = 2 * metrics.horizontalAdvance(QChar(0xa0));
    int room = m_status->contentsRect().width() - metrics.averageCharWidth();
    QStringList warnings;
    for (const std::string& warning : m_statusWarnings)
        warnings << QString::fromStdString(warning);
    int warningsWidth = 0;
    for (const QString& warning : warnings)
        warningsWidth += gap + pad + metrics.horizontalAdvance(warning);

    bool cut = false;
    auto elide = [&](const QString& text, int width) {
        const QString shown = metrics.elidedText(text, Qt::ElideRight, std::max(0, width));
        cut = cut || shown != text;
        return shown;
    };
    // The run's warnings come first; the message takes the room they leave.
    const QString shownMessage = elide(message, room - warningsWidth);
    room -= metrics.horizontalAdvance(shownMessage);
    QString html = shownMessage.toHtmlEscaped();
    for (const QString& warning : warnings) {
        if (room <= gap + pad) {
            cut = true;
            break;
        }
        const QString shown = elide(warning, room - gap - pad);
        room -= gap + pad + metrics.horizontalAdvance(shown);
        html += QStringLiteral(
                    "  <span style=\"background-color:#ffe27a; color:#000000\">"
                    "&nbsp;%1&nbsp;</span>")
                    .arg(shown.toHtmlEscaped());
    }
    m_status->setText(html);
    m_status->setToolTip(cut ? (QStringList{message} + warnings).join(u'\n') : QString());
}

// The title names the session open, with an asterisk while there is unsaved work.
void RegWindow::refreshTitle()
{
    const QString title = QString::fromUtf8(kWindowTitle);
    setWindowTitle(
        m_sessionFile.isEmpty()
            ? title + QStringLiteral("[*]")
            : QStringLiteral("%1[*] - %2").arg(QFileInfo(m_sessionFile).fileName(), title));
    setWindowModified(unsavedWork());
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

// Does a change to the data and keeps it in the undo history.
void RegWindow::push(DataCommand* command)
{
    m_undo.push(std::unique_ptr<DataCommand>(command));
    refreshTitle();
}

// The name of the analyte shown in a named table; empty for a plain one.
std::string RegWindow::shownName() const
{
    return m_state.named ? m_state.analytes[m_state.selected].name : std::string();
}

// The analyte selector and its keys are there only for a named table; the selector lists
// the analytes in column order and shows the one selected.
void RegWindow::showAnalyteChoice()
{
    const bool named = m_state.named;
    {
        const QSignalBlocker quiet(cboAnalyte);
        cboAnalyte->clear();
        if (named)
            for (const Analyte& analyte : m_state.analytes)
                cboAnalyte->addItem(QString::fromStdString(analyte.name));
        cboAnalyte->setCurrentIndex(named ? static_cast<int>(m_state.selected) : -1);
    }
    // The list may be wider than the box: long names stay readable when it drops down.
    cboAnalyte->view()->setMinimumWidth(cboAnalyte->view()->sizeHintForColumn(0) + 8);
    lblAnalyte->setVisible(named);
    cboAnalyte->setVisible(named);
    m_previousAnalyte->setEnabled(named);
    m_nextAnalyte->setEnabled(named);
    cmdRestore->setToolTip(named ? tr("Take back every rejection of the analyte shown; the "
                                      "other analytes keep theirs")
                                 : tr("Take back every rejection"));
}

void RegWindow::stepAnalyte(int step)
{
    const int index = cboAnalyte->currentIndex() + step;
    if (index >= 0 && index < cboAnalyte->count())
        cboAnalyte->setCurrentIndex(index);
}

void RegWindow::pasteFromClipboard()
{
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    const QLocale locale = QLocale::system();
    PasteResult pasted = parseTable(text, locale);
    if (!pasted.table) {
        if (pasted.message)
            MessageBoxes::show(this, *pasted.message);
        plotAndCalculate();
        return;
    }
    takeTable(std::move(*pasted.table), {text, locale.name().toStdString(), "clipboard"});
}

// A new table, as an undoable change: the previous one comes back with its rejections.
void RegWindow::takeTable(PastedTable table, TableSource source)
{
    const std::string said = pastedText(table);
    m_sessionFile.clear();  // the report's source is this table now
    push(new NewTableCommand(m_state, std::move(table.analytes), table.named, std::move(source),
                             dataChanged(), tr("the paste"), std::move(table.run)));
    showStatus(said);
}

// What the window does when a command of the undo stack changed the data.
DataChanged RegWindow::dataChanged()
{
    return [this](std::size_t analyte, DataChange change) {
        if (change == DataChange::Table) {
            m_state.selected = std::min(analyte, m_state.analytes.size() - 1);
            showAnalyteChoice();
            showRunPanel();
            plotAndCalculate();
            return;
        }
        if (change == DataChange::Show)  // the selector shows it, as if chosen there
            cboAnalyte->setCurrentIndex(static_cast<int>(analyte));
        else
            showRejectedCount();
        m_plot->update();
    };
}

void RegWindow::undo()
{
    if (!m_undo.canUndo()) {
        showStatus(tr("Nothing to undo").toStdString());
        return;
    }
    const QString what = m_undo.undoText();
    m_undo.undo();
    showStatus(tr("Undid %1").arg(what).toStdString());
}

void RegWindow::redo()
{
    if (!m_undo.canRedo()) {
        showStatus(tr("Nothing to redo").toStdString());
        return;
    }
    const QString what = m_undo.redoText();
    m_undo.redo();
    showStatus(tr("Redid %1").arg(what).toStdString());
}

void RegWindow::restoreEveryStandard()
{
    const std::vector<std::uint8_t>& flags = m_state.table().rejFlag;
    if (std::find(flags.begin(), flags.end(), 1) == flags.end()) {
        plotAndCalculate();  // nothing to take back: a run all the same
        return;
    }
    const std::string analyte = shownName();
    push(new RestoreCommand(
        m_state, m_state.selected, dataChanged(),
        analyte.empty() ? tr("Restore all data")
                        : tr("Restore all data of %1").arg(QString::fromStdString(analyte))));
    showStatus(restoredText(analyte));
}

void RegWindow::copyResults()
{
    const WaitCursor hourglass;
    const std::string text = exportText(m_state, m_fmt);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromStdString(text));
    const std::size_t methods = static_cast<std::size_t>(std::ranges::count_if(
        fitMethods(),
        [this](const FitMethod& method) { return isExported(method, m_state.settings); }));
    const auto copied = std::count_if(m_state.analytes.begin(), m_state.analytes.end(),
                                      [](const Analyte& a) { return a.table.anyValue(); });
    // The copy holds the fits of the last run: marks made since are not in it yet.
    showStatus(copiedText(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\r')),
                          methods, static_cast<std::size_t>(copied), pendingMarks(m_state)));
}

void RegWindow::showAbout()
{
    MessageBoxes::show(this, {kAboutText, MessageIcon::Exclamation, kAppTitle});
}

// Close asks first about unsaved work, as closing the window does.
void RegWindow::closeFromButton()
{
    if (!close())
        return;
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

void RegWindow::closeEvent(QCloseEvent* event)
{
    if (workMayGo(tr("closing")))
        event->accept();
    else
        event->ignore();
}

bool RegWindow::savePlotFile(const QString& file, QString* error) const
{
    return savePlot(m_plot->shownPlot(), file, m_plot->size(), error, m_plot->devicePixelRatioF());
}

namespace {

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

}  // namespace

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

bool RegWindow::saveReportFile(const QString& file, QString* error)
{
    const WaitCursor hourglass;  // many analytes of thousands of standards take seconds
    const std::size_t pending = pendingMarks(m_state);
    if (pending > 0)
        plotAndCalculate();
    const std::string source =
        m_sessionFile.isEmpty() ? m_state.source.origin : "session " + m_sessionFile.toStdString();
    if (const std::optional<std::string> failed =
            writeReport(m_state, m_fmt, pathOf(file), source, QDateTime::currentDateTime())) {
        if (error)
            *error = tr("The report could not be written to %1: %2")
                         .arg(file, QString::fromStdString(*failed));
        return false;
    }
    showStatus(tr("Wrote the report to %1").arg(file).toStdString() + appliedMarksText(pending));
    return true;
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
    auto refuse = [&](const QString& why) {
        MessageBoxes::show(this, {tr("%1 cannot be opened: %2").arg(file, why).toStdString(),
                                  MessageIcon::Exclamation, kAppTitle});
        return false;
    };
    bool session = QFileInfo(file).suffix().toLower() == kSessionSuffix;
    if (!session) {
        QFile peek(file);
        if (!peek.open(QIODevice::ReadOnly))
            return refuse(peek.errorString());
        session = peek.peek(4096).trimmed().startsWith('{');
    }
    // A session replaces the work: asked first, before it is read (saving may rewrite it).
    if (session && !workMayGo(tr("opening %1").arg(QFileInfo(file).fileName())))
        return false;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return refuse(in.errorString());
    std::string text;
    if (session) {
        text = in.read(static_cast<qint64>(kMaxSessionBytes) + 1).toStdString();
    } else {
        PasteIntake intake;
        for (QByteArray piece; !intake.over() && !(piece = in.read(1 << 16)).isEmpty();)
            intake.add(std::string_view(piece.constData(), static_cast<std::size_t>(piece.size())));
        text = std::move(intake.text());
    }
    if (in.error() != QFileDevice::NoError)
        return refuse(in.errorString());
    if (session) {
        auto read = readSessionText(text);
        if (const std::string* problem = std::get_if<std::string>(&read))
            return refuse(QString::fromStdString(*problem));
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
    const QLocale locale = QLocale::system();
    PasteResult pasted = parseTable(text, locale);
    if (!pasted.table) {
        MessageBoxes::show(this, *pasted.message);
        return false;
    }
    takeTable(std::move(*pasted.table),
              {text, locale.name().toStdString(), QFileInfo(file).fileName().toStdString()});
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

// The run panel is there only for a run table. When it comes, the window grows by its
// height (as far as the screen allows) rather than take it from the plot.
void RegWindow::showRunPanel()
{
    const bool run = m_state.run.has_value();
    const bool was = !m_runPanel->isHidden();
    m_runPanel->setVisible(run);
    m_copySamples->setEnabled(run);
    if (run) {
        m_runPanel->showSettings();
        m_runPanel->showSamples();
    }
    roomForPanels(run && !was);
}

// The panels below the designed controls: the canvas keeps room for them, and when one
// came the window grows by its height (as far as the screen allows).
void RegWindow::roomForPanels(bool came)
{
    m_canvas->setMinimumSize(smallestControlsSize() + QSize(0, panelsHeight()));
    if (came && !isMaximized() && !isFullScreen()) {
        const int wanted = designedClientSize().height() + panelsHeight();
        if (height() < wanted)
            resize(width(), wanted);
        if (m_fittedToScreen)
            fitToScreen();
    }
    layoutControls();
}

int RegWindow::panelsHeight() const
{
    return (m_analytesPanel->isHidden() ? 0 : designedPixels(kAnalytesPanelHeight)) +
           (m_runPanel->isHidden() ? 0 : designedPixels(kRunPanelHeight));
}

// Another standard for the run: the analytes rebuilt from its lines as one undoable step,
// then a run; a pattern no line matches is refused and changes nothing.
void RegWindow::chooseStandard(const QString& pattern)
{
    if (!m_state.run)
        return;
    const std::string chosen = pattern.toStdString();
    RunSplit split = standardsOf(*m_state.run, chosen);
    if (!split.analytes) {
        MessageBoxes::show(this, split.message ? *split.message
                                               : UserMessage{tr("No line of the run has the ID "
                                                                "%1.")
                                                                 .arg(pattern)
                                                                 .toStdString(),
                                                             MessageIcon::Exclamation, kAppTitle});
        m_runPanel->showSettings();
        return;
    }
    push(new StandardCommand(m_state, std::move(*split.analytes), chosen, dataChanged(),
                             tr("the standard %1").arg(pattern)));
    showStatus(standardChosenText(chosen));
}

// The samples table of the analyte shown, as tab-separated text with one title line.
void RegWindow::copySamples()
{
    if (!m_state.run)
        return;
    const std::string text = samplesClipboardText(m_state, m_state.selected, m_fmt.forExport());
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromStdString(text));
    showStatus(copiedSamplesText(correctSamples(m_state, m_state.selected).samples.size(),
                                 shownName(), pendingMarks(m_state)));
}

// The controls show the settings (after a session brought its own), without running.
void RegWindow::showSettings()
{
    const Settings& settings = m_state.settings;
    auto check = [](QCheckBox* box, int value) {
        const QSignalBlocker quiet(box);
        box->setCheckState(value == kTicked ? Qt::Checked
                           : value == kGrey ? Qt::PartiallyChecked
                                            : Qt::Unchecked);
    };
    const std::span<const FitMethod> methods = fitMethods();
    for (std::size_t m = 0; m < m_rows.size(); ++m) {
        if (!methods[m].alwaysFitted)
            check(m_rows[m].show, boxOf(settings.show, methods[m].name));
        check(m_rows[m].exported, boxOf(settings.exported, methods[m].name));
    }
    check(chkConf, settings.showBand);
    for (QCheckBox* box : {chkWeight, chkExportUnc}) {
        const QSignalBlocker quiet(box);
        box->setChecked(box == chkWeight ? settings.weightByErrors : settings.exportUncertainties);
    }
    {
        const QSignalBlocker quiet(chkResiduals);
        chkResiduals->setChecked(settings.plotResiduals);
    }
    {
        const QSignalBlocker quiet(cboBandKind);
        cboBandKind->setCurrentIndex(static_cast<int>(settings.uncertaintyKind));
    }
    showBandChoice();
    const std::pair<std::array<QRadioButton*, 2>*, bool> pairs[] = {
        {&optScale, settings.scaleYFull},
        {&optScaleX, settings.scaleXFull},
        {&optAllData, settings.allData}};
    for (const auto& [options, first] : pairs) {
        const QSignalBlocker quiet0((*options)[0]);
        const QSignalBlocker quiet1((*options)[1]);
        (*options)[first ? 0 : 1]->setChecked(true);
    }
    {
        const QSignalBlocker quiet(cboDegree);
        const int item = cboDegree->findText(QString::fromStdString(settings.degreeText));
        cboDegree->setCurrentIndex(item);
        cboDegree->setEditText(QString::fromStdString(settings.degreeText));
    }
    const QSignalBlocker quiet(cboLevel);
    cboLevel->setCurrentIndex(settings.level.value_or(-1));
}

// The analytes panel, and the plot's choice between the data and their residuals.
void RegWindow::buildAnalyteControls()
{
    m_analytesPanel = new AnalytesPanel(m_state, m_fmt, m_canvas);
    m_analytesPanel->hide();
    // Below the Y scaling at rejection, the last of the plot's scale controls.
    chkResiduals = new WrappingCheckBox(QStringLiteral("Residuals"), m_canvas);
    chkResiduals->setObjectName("chkResiduals");
    chkResiduals->setChecked(m_state.settings.plotResiduals);
    chkResiduals->setToolTip(
        tr("Plot the residuals: Y minus the value of the method of \"Band of\" at every "
           "standard, with its band about zero, instead of the data and the curves"));
    place(chkResiduals, {120, 7935, 1815, 255});
}

void RegWindow::connectAnalyteControls()
{
    // The analytes table and the analyte selector always choose the same analyte.
    connect(m_analytesPanel, &AnalytesPanel::analyteChosen, this, [this](std::size_t analyte) {
        cboAnalyte->setCurrentIndex(static_cast<int>(analyte));
    });
    connect(cboAnalyte, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            m_analytesPanel->showSelected(static_cast<std::size_t>(index));
    });
    connect(chkResiduals, &QCheckBox::toggled, this, [this](bool on) {
        m_state.settings.plotResiduals = on;
        plotAndCalculate();
    });
}

// The analytes panel is there only for several analytes; it shows their last runs.
void RegWindow::showAnalytesPanel()
{
    const bool wanted = AnalytesPanel::wanted(m_state);
    const bool was = !m_analytesPanel->isHidden();
    m_analytesPanel->setVisible(wanted);
    if (wanted)
        m_analytesPanel->showAnalytes();
    if (wanted != was)
        roomForPanels(wanted);
}

// A Shift+click on a standard of the plot marks the standards at its X in every analyte;
// with one analyte it is a click like any other.
bool RegWindow::shiftClick(QObject* watched, QEvent* event)
{
    if (watched != m_plot || event->type() != QEvent::MouseButtonPress ||
        m_state.analytes.size() < 2)
        return false;
    const auto* press = static_cast<QMouseEvent*>(event);
    if (press->button() != Qt::LeftButton || !press->modifiers().testFlag(Qt::ShiftModifier))
        return false;
    if (const std::optional<int> x = m_plot->standardAt(press->position()))
        markEveryAnalyte(*x);
    return true;
}

void RegWindow::markEveryAnalyte(int x)
{
    auto* command = new MarkEveryAnalyteCommand(m_state, m_state.selected, x, dataChanged(),
                                                tr("the mark at X = %1 in every analyte").arg(x));
    const bool rejects = command->rejects();
    const std::size_t marked = command->marked();
    push(command);
    showStatus(markedEveryText(x, rejects, marked));
    m_statusAwaitsRun = true;
}

}  // namespace kalibrix
