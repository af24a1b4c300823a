// Building the window's controls: the designed controls, the results grid of the method
// table and the controls of the panels below them, and their tooltips.
#include "window/reg_window.h"

#include "engine/method_table.h"
#include "window/analytes_panel.h"
#include "window/choice_box.h"
#include "window/fitting_label.h"
#include "window/plot_widget.h"
#include "window/results_grid.h"
#include "window/run_panel.h"
#include "window/wrapping_buttons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace kalibrix {

namespace {

constexpr double kRowHeight = 225;

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

QRadioButton* newOption(QWidget* parent, const char* name, const char* caption, const TwipsRect& r)
{
    auto* o = new QRadioButton(QString::fromUtf8(caption), parent);
    o->setObjectName(name);
    o->setGeometry(inFrame(r));
    return o;
}

Qt::CheckState checkState(int value)
{
    return value == kTicked ? Qt::Checked : value == kGrey ? Qt::PartiallyChecked : Qt::Unchecked;
}

}  // namespace

void RegWindow::place(QWidget* widget, const TwipsRect& designed, Growth growth)
{
    m_placed.push_back({widget, designed, growth});
}

void RegWindow::buildControls()
{
    buildLeftColumn();
    buildPlotAndListing();
    buildCounters();
    buildResultsGrid();
    buildBandFrame();
    buildRightColumn();
    m_runPanel = new RunPanel(m_state, m_fmt, m_canvas);
    m_runPanel->hide();
    buildAnalyteControls();
}

QPushButton* RegWindow::addButton(const char* name, const char* caption, const TwipsRect& at)
{
    auto* b = new WrappingPushButton(QString::fromUtf8(caption), m_canvas);
    b->setObjectName(name);
    place(b, at);
    return b;
}

QGroupBox* RegWindow::addFrame(const char* name, const char* caption, const TwipsRect& at)
{
    auto* g = new QGroupBox(QString::fromUtf8(caption), m_canvas);
    g->setObjectName(name);
    place(g, at);
    return g;
}

// The buttons, the analyte selector and the scale options left of the plot.
void RegWindow::buildLeftColumn()
{
    cmdPaste = addButton("cmdPaste", "Paste data from clipboard", {120, 120, 855, 855});
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
    cmdPlot = addButton("cmdPlot", "Plot and calculate", {120, 2760, 855, 735});
    QGroupBox* yScale = addFrame("frameYScale", "Y scale", {60, 3720, 975, 855});
    optScaleY[0] = newOption(yScale, "optScaleY_0", "Full", {120, 240, 795, 255});
    optScaleY[1] = newOption(yScale, "optScaleY_1", "Zoom", {120, 510, 795, 255});
    QGroupBox* xScale = addFrame("frameXScale", "X scale", {60, 4800, 975, 855});
    optScaleX[0] = newOption(xScale, "optScaleX_0", "Full", {120, 240, 795, 255});
    optScaleX[1] = newOption(xScale, "optScaleX_1", "Zoom", {120, 510, 795, 255});
    cmdRestore = addButton("cmdRestore", "Restore all data", {120, 5880, 855, 735});
    QGroupBox* rejectionScaling =
        addFrame("frameRejectionScaling", "Y scaling at rejection", {120, 6840, 1815, 975});
    optAllData[0] = newOption(rejectionScaling, "optAllData_0", "All data", {105, 270, 1695, 255});
    optAllData[1] =
        newOption(rejectionScaling, "optAllData_1", "Only unrejected", {105, 600, 1695, 255});
    cmdAbout = addButton("cmdAbout", "About", {120, 9000, 975, 615});
    cmdReport = addButton("cmdReport", "Report\u2026", {1215, 9000, 975, 615});
    cmdSaveResults = addButton("cmdSaveResults", "Save results\u2026", {2310, 9000, 1350, 615});
    const Settings& settings = m_state.settings;
    optScaleY[settings.scaleYFull ? 0 : 1]->setChecked(true);
    optScaleX[settings.scaleXFull ? 0 : 1]->setChecked(true);
    optAllData[settings.allData ? 0 : 1]->setChecked(true);
}

// The plot and the parameter listing beyond the designed right edge.
void RegWindow::buildPlotAndListing()
{
    m_plot = new PlotWidget(m_state, m_canvas);
    m_plot->setObjectName("plot");
    place(m_plot, PlotDisplay{}.pict2Rect, Growth::Plot);
    lblParameters = newValueLabel(m_canvas, "lblParameters", QColor());
    place(lblParameters, {kListingLeft, 120, 2655, 9135}, Growth::Listing);
    lblParameters->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblParameters->setWordWrap(true);
    lblParameters->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

// The counters below the plot, each a caption and its value.
void RegWindow::buildCounters()
{
    const char* counters[] = {"Maximum:", "Number of data:", "Rejected:"};
    QLabel** counterValues[] = {&lblLargestX, &lblStandardCount, &lblRej};
    const char* counterNames[] = {"lblLargestX", "lblStandardCount", "lblRej"};
    for (int i = 0; i < 3; ++i) {
        const double top = 6960 + 240 * i;
        QLabel* c = newCaption(m_canvas, QString::fromUtf8(counters[i]), QColor(), Qt::AlignRight);
        c->setObjectName(QString("%1Caption").arg(counterNames[i]));
        place(c, {2040, top, 1380, kRowHeight});
        *counterValues[i] = newValueLabel(m_canvas, counterNames[i], QColor());
        place(*counterValues[i], {3480, top, 615, kRowHeight});
    }
}

// The band, its level, its method and its kind; the weighting and the export's uncertainties
// left of the band's frame.
void RegWindow::buildBandFrame()
{
    const Settings& settings = m_state.settings;
    QGroupBox* band = addFrame("frameBand", "", {3720, 7740, 2700, 1725});
    chkBand = new WrappingCheckBox(QStringLiteral("Show confidence band for lin. regr."), band);
    chkBand->setObjectName("chkBand");
    chkBand->setChecked(ticked(settings.showBand));
    chkBand->setGeometry(inFrame({120, 120, 1815, 435}));
    cboLevel = new ChoiceBox(band);
    cboLevel->setObjectName("cboLevel");
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(kFontPixels);
    cboLevel->setFont(fixed);
    cboLevel->setGeometry(inFrame({120, 600, 1815, 315}));
    QLabel* bandOf = newCaption(band, tr("Band of"), QColor());
    bandOf->setObjectName("lblBandOf");
    bandOf->setGeometry(inFrame({120, 1020, 720, kRowHeight}));
    cboBandOf = new QComboBox(band);
    cboBandOf->setObjectName("cboBandOf");
    cboBandOf->setGeometry(inFrame({870, 975, 1710, 315}));
    bandOf->setBuddy(cboBandOf);
    cboBandKind = new QComboBox(band);
    cboBandKind->setObjectName("cboBandKind");
    cboBandKind->addItems({tr("curve"), tr("new reading")});  // in UncertaintyKind's order
    cboBandKind->setCurrentIndex(static_cast<int>(settings.uncertaintyKind));
    cboBandKind->setGeometry(inFrame({120, 1350, 1815, 315}));
    chkWeight = new WrappingCheckBox(QStringLiteral("Weight by the errors"), m_canvas);
    chkWeight->setObjectName("chkWeight");
    chkWeight->setChecked(settings.weightByErrors);
    place(chkWeight, {2250, 7800, 1410, 435});
    chkExportUncertainties = new WrappingCheckBox(QStringLiteral("Export uncertainties"), m_canvas);
    chkExportUncertainties->setObjectName("chkExportUncertainties");
    chkExportUncertainties->setChecked(settings.exportUncertainties);
    place(chkExportUncertainties, {2250, 8340, 1410, 435});
}

void RegWindow::buildRightColumn()
{
    cmdCopy = addButton("cmdCopy", "Copy interpolated values to clipboard",
                        {11640 + kLooColumnWidth, 7680, 1095, 1095});
    cmdCopy->setToolTip(tr("Copy interpolated values to clipboard (Ctrl+C)"));
    cmdClose = addButton("cmdClose", "Close", {11640 + kLooColumnWidth, 9000, 1095, 615});
}

// One row per fit method, made from its row in the method table and the grid's columns.
void RegWindow::buildResultsGrid()
{
    buildGridHeadings();
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

// The headings of the figures' columns, of the leave-one-out column and of the boxes.
void RegWindow::buildGridHeadings()
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
        c->setCheckState(checkState(value));
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

// What every control does, in its tooltip.
void RegWindow::setToolTips()
{
    const std::pair<QWidget*, const char*> tips[] = {
        {cmdPlot, "Fit the ticked methods to the standards in use and redraw the plot"},
        {optScaleY[0], "Y axis from 0"},
        {optScaleY[1], "Y axis over the range of the data"},
        {optScaleX[0], "X axis from 0"},
        {optScaleX[1], "X axis over the range of the data"},
        {optAllData[0], "Scale Y to every standard, rejected ones included"},
        {optAllData[1], "Scale Y to the standards in use"},
        {cmdAbout, "About KALIBRIX"},
        {cmdSaveResults,
         "Save the results as an XLSX workbook: a sheet per analyte with every exported "
         "method's value at each line of the table, the summary, the samples and the settings "
         "(Ctrl+E)"},
        {cmdReport,
         "Write a PDF report of the fits, the rejections, the settings and the plot "
         "(Ctrl+P)"},
        {cmdClose, "Close KALIBRIX"},
        {chkBand, "Show the band of the method chosen below at the level below"},
        {cboLevel, "Confidence level of the band"},
        {cboBandOf,
         "The shown method whose band is drawn and whose value the plot tells under the mouse"},
        {cboBandKind,
         "The band of the curve (how well the fit knows the drift) or of a new reading (where "
         "a further standard measured there would fall)"},
        {chkWeight,
         "Weigh each standard by 1 / error² (only with a column of errors; every standard in "
         "use needs an error above 0)"},
        {chkExportUncertainties,
         "Copy interpolated values gives each method's ± half-width after its value"},
        {cboDegree,
         "Degree of the polynomial below: pick one or type a whole number from 0 "
         "to 23, then Plot and calculate"},
        {lblLargestX, "Largest X of the table"},
        {lblStandardCount, "Standards with Y above 0"},
        {lblRej, "Standards rejected"},
        {lblParameters, "Parameters of the polynomial of the chosen degree"},
    };
    for (const auto& [widget, tip] : tips)
        widget->setToolTip(tr(tip));
    cmdRestore->setToolTip(tr("Take back every rejection"));
    setMethodToolTips();
}

// Each method's boxes and figures say which method they are of.
void RegWindow::setMethodToolTips()
{
    const char* cellTips[kResultCells] = {"a (intercept) of %1",
                                          "b (slope) of %1",
                                          "r² of %1",
                                          "Effective degrees of freedom of %1: the trace of "
                                          "its hat matrix (2 for a straight line, the number "
                                          "of standards for a curve through every one)",
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

}  // namespace kalibrix
