#include "regwin/qt/reg_window.h"

#include "regwin/driver.h"
#include "regwin/export.h"
#include "regwin/paste_table.h"
#include "regwin/qt/message_boxes.h"
#include "regwin/qt/plot_painter.h"
#include "regwin/qt/plot_widget.h"
#include "regwin/qt/wrapping_buttons.h"
#include "regwin/rejection.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QRadioButton>
#include <QScopedValueRollback>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>

#include <functional>
#include <memory>
#include <utility>

namespace kalibrix {

namespace {

constexpr const char* kWindowTitle =
    "KALIBRIX - calculates interpolated values for samples between standard measurements";
constexpr const char* kAboutText =
    "KALIBRIX is a desktop program that calculates interpolated values for "
    "standard-sample-standard sequences using different methods.\n\n"
    "Input: paste a compact table from clipboard (2 or 3 columns, only numbers).\n"
    "First column: X, 2nd column: Y. If more columns are in the copied table then the 3rd "
    "column is considered as Y_ERROR.\n\n"
    "Mouse click on data point marks it for rejection.\n\n"
    "[Plot and calculate] button refreshes the plot.\n\n"
    "Output: copy to clipboard.";

const QKeySequence kPasteKeys(Qt::CTRL | Qt::Key_V);
const QKeySequence kCopyKeys(Qt::CTRL | Qt::Key_C);

constexpr int kFontPixels = 11;  // the designed 8 pt at 96 dots per inch
constexpr double kRowHeight = 225;
constexpr double kBoxSize = 240;

// Colours as designed, written &H00BBGGRR.
QColor designColour(unsigned bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}
const QColor kLogColour = designColour(0x00FF00FF);
const QColor kPolyHeadingColour = designColour(0x00008000);
const QColor kChosenDegreeColour = designColour(0x00C00000);
const QColor kZigZagColour = designColour(0x000080FF);
const QColor kValueBackground = designColour(0x00FFFFFF);

// A polynomial row: slot, top, caption colour. Slot 1 (the chosen degree) comes last.
struct PolyRow {
    int slot;
    double top;
    unsigned colour;
};
constexpr PolyRow kPolyRows[] = {{2, 7920, 0x0000C000},
                                 {3, 8160, 0x00008000},
                                 {4, 8400, 0x00C0C000},
                                 {5, 8640, 0x00FF8080},
                                 {1, 9000, 0x00C00000}};
constexpr double kLinearTop = 6960;
constexpr double kLogTop = 7440;
constexpr double kZigZagTop = 9480;
constexpr double kHeadingTop = 6720;

// Value columns of the results table: left and width.
constexpr double kColA = 6240, kColAWidth = 900;
constexpr double kColB = 7200, kColBWidth = 1020;
constexpr double kColR = 8280, kColRWidth = 780;
constexpr double kColDiff = 9120, kColDiffWidth = 780;
constexpr double kColProc = 9960, kColProcWidth = 600;
constexpr double kColShow = 10680;
constexpr double kColExport = 11160;

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
    setObjectName("frm_Reg");
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    QFont f = font();
    f.setPixelSize(kFontPixels);
    setFont(f);

    buildControls();
    connectHandlers();
    setMinimumSize(designedClientSize());
    resize(designedClientSize());
    layoutControls();
}

void RegWindow::place(QWidget* widget, const TwipsRect& designed, Growth growth)
{
    m_placed.push_back({widget, designed, growth});
}

void RegWindow::layoutControls()
{
    for (const Placed& p : m_placed)
        p.widget->setGeometry(placeInWindow(p.designed, p.growth, size()));
}

void RegWindow::buildControls()
{
    auto button = [this](const char* name, const char* caption, const TwipsRect& r) {
        auto* b = new WrappingPushButton(QString::fromUtf8(caption), this);
        b->setObjectName(name);
        place(b, r);
        return b;
    };
    auto frame = [this](const char* name, const char* caption, const TwipsRect& r) {
        auto* g = new QGroupBox(QString::fromUtf8(caption), this);
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
    auto box = [this](const QString& name, double left, double top, bool checked) {
        auto* c = new QCheckBox(this);
        c->setObjectName(name);
        c->setChecked(checked);
        place(c, {left, top, kBoxSize, kBoxSize});
        return c;
    };
    auto caption = [this](const QString& text, const TwipsRect& r, const QColor& colour,
                          Qt::Alignment align = Qt::AlignLeft) {
        auto* l = new QLabel(text, this);
        l->setAlignment(align | Qt::AlignVCenter);
        if (colour.isValid())
            setTextColour(l, colour);
        place(l, r);
        return l;
    };
    auto value = [this](const QString& name, const TwipsRect& r, const QColor& colour,
                        Growth growth = Growth::Fixed) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        l->setAutoFillBackground(true);
        QPalette p = l->palette();
        p.setColor(QPalette::Window, kValueBackground);
        if (colour.isValid())
            p.setColor(QPalette::WindowText, colour);
        l->setPalette(p);
        place(l, r, growth);
        return l;
    };
    // a, b, r^2, average difference and per cent of one regression row.
    auto valueRow = [&](double top, const QColor& colour, std::array<QLabel**, 5> cells,
                        std::array<const char*, 5> names) {
        const TwipsRect rects[] = {{kColA, top, kColAWidth, kRowHeight},
                                   {kColB, top, kColBWidth, kRowHeight},
                                   {kColR, top, kColRWidth, kRowHeight},
                                   {kColDiff, top, kColDiffWidth, kRowHeight},
                                   {kColProc, top, kColProcWidth, kRowHeight}};
        for (size_t i = 0; i < cells.size(); ++i)
            *cells[i] = value(QString::fromUtf8(names[i]), rects[i], colour);
    };

    // Left column.
    cmdPaste = button("cmdPaste", "Paste data from clipboard", {120, 120, 855, 855});
    cmdPaste->setToolTip(tr("Paste data from clipboard (Ctrl+V)"));
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
    optScale[0]->setChecked(true);
    optScaleX[0]->setChecked(true);
    optAllData[m_state.allData ? 0 : 1]->setChecked(true);

    // The plot and the parameter listing beyond the designed right edge.
    m_plot = new PlotWidget(m_state, this);
    m_plot->setObjectName("pict2");
    place(m_plot, PlotDisplay{}.pict2Rect, Growth::Plot);
    Label2 = value("Label2", {12840, 120, 2655, 9135}, QColor(), Growth::Listing);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2->setWordWrap(true);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Counters.
    const char* counters[] = {"Maximum:", "Number of data:", "Rejected:"};
    QLabel** counterValues[] = {&lblNData, &lblnDataOK, &lblRej};
    const char* counterNames[] = {"lblNData", "lblnDataOK", "lblRej"};
    for (int i = 0; i < 3; ++i) {
        const double top = 6960 + 240 * i;
        caption(QString::fromUtf8(counters[i]), {2040, top, 1380, kRowHeight}, QColor(),
                Qt::AlignRight)
            ->setObjectName(QString("lblRizsa_%1").arg(6 + i));
        *counterValues[i] = value(counterNames[i], {3480, top, 615, kRowHeight}, QColor());
    }

    // Results table: headings, the linear and logarithmic rows, the polynomials, zigzag.
    const std::pair<const char*, TwipsRect> headings[] = {
        {"a:", {6480, kHeadingTop, 600, kRowHeight}},
        {"b:", {7560, kHeadingTop, 600, kRowHeight}},
        {"r^2:", {8400, kHeadingTop, 600, kRowHeight}},
        {"Aver. diff.:", {9120, kHeadingTop, 900, kRowHeight}},
        {"%:", {10080, kHeadingTop, 420, kRowHeight}},
        {"Show", {10560, kHeadingTop, 600, kRowHeight}},
        {"Export", {11160, kHeadingTop, 600, kRowHeight}}};
    for (const auto& [text, r] : headings)
        caption(QString::fromUtf8(text), r, QColor());

    caption("Linar regression", {4200, kLinearTop, 1980, kRowHeight}, QColor());
    valueRow(kLinearTop, QColor(), {&lbl_LRa, &lbl_LRb, &lbl_LRr, &lblDiff, &lblDiffProc},
             {"lbl_LRa", "lbl_LRb", "lbl_LRr", "lblDiff", "lblDiffProc"});
    Check1 = box("Check1", kColShow, kLinearTop, true);
    Check1->setEnabled(false);

    caption("Logarithmic regression", {4200, kLogTop, 1980, kRowHeight}, kLogColour);
    valueRow(kLogTop, kLogColour, {&lbl_LoRa, &lbl_LoRb, &lbl_LoRr, &lblDiffLog, &lblDiffProcLog},
             {"lbl_LoRa", "lbl_LoRb", "lbl_LoRr", "lblDiffLog", "lblDiffProcLog"});
    chkLog = box("chkLog", kColShow, kLogTop, true);

    caption("Polynomial regression", {7080, 8250, 1200, 435}, kPolyHeadingColour)
        ->setWordWrap(true);
    for (const PolyRow& row : kPolyRows) {
        const QColor colour = designColour(row.colour);
        if (row.slot != 1)
            caption(QString("%1 ord.").arg(row.slot), {8360, row.top, 700, kRowHeight}, colour);
        lblDiffPoly[row.slot] = value(QString("lblDiffPoly_%1").arg(row.slot),
                                      {kColDiff, row.top, kColDiffWidth, kRowHeight}, colour);
        lblDiffProcPoly[row.slot] = value(QString("lblDiffProcPoly_%1").arg(row.slot),
                                          {kColProc, row.top, kColProcWidth, kRowHeight}, colour);
        chkPoly[row.slot] =
            box(QString("chkPoly_%1").arg(row.slot), kColShow, row.top, row.slot == 2);
    }
    ComboBox1 = new ChoiceBox(this);
    ComboBox1->setObjectName("ComboBox1");
    place(ComboBox1, {8360, 8970, 615, 315});
    QFont bold = font();
    bold.setBold(true);
    ComboBox1->setFont(bold);
    setTextColour(ComboBox1, kChosenDegreeColour);

    caption("Zigzag between clusters of standards", {6240, kZigZagTop, 4320, kRowHeight},
            kZigZagColour);
    chkZigZag = box("chkZigZag", kColShow, kZigZagTop, true);

    const double exportTops[kExportMethods] = {kLinearTop, kLogTop, 7920, 8160,
                                               8400,       8640,    9000, kZigZagTop};
    for (int i = 0; i < kExportMethods; ++i)
        chkEX[i] = box(QString("chkEX_%1").arg(i), kColExport, exportTops[i], i <= kExportPoly2);

    // The confidence band and its level.
    QGroupBox* frame4 = frame("Frame4", "", {3720, 8160, 2055, 1095});
    chkConf = new WrappingCheckBox(QStringLiteral("Show confidence bandl for lin. regr."), frame4);
    chkConf->setObjectName("chkConf");
    chkConf->setChecked(true);
    chkConf->setGeometry(inFrame({120, 120, 1815, 435}));
    comboProb = new ChoiceBox(frame4);
    comboProb->setObjectName("comboProb");
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPixelSize(kFontPixels);
    comboProb->setFont(fixed);
    comboProb->setGeometry(inFrame({120, 600, 1815, 315}));

    // The degree may also be typed; the level box takes only its list items, so the level
    // it shows is the one in force.
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->setCompleter(nullptr);  // typed text stays as typed

    // Right column.
    cmdCopy =
        button("cmdCopy", "Copy interpolated values to clipboard", {11640, 7680, 1095, 1095});
    cmdCopy->setToolTip(tr("Copy interpolated values to clipboard (Ctrl+C)"));
    cmdClose = button("cmdClose", "Close", {11640, 9000, 1095, 615});
}

void RegWindow::connectHandlers()
{
    connect(cmdPaste, &QPushButton::clicked, this, &RegWindow::cmdPaste_Click);
    connect(cmdPlot, &QPushButton::clicked, this, &RegWindow::A_PLOT);
    connect(cmdRestore, &QPushButton::clicked, this, &RegWindow::cmdRestore_Click);
    connect(cmdCopy, &QPushButton::clicked, this, &RegWindow::cmdCopy_Click);
    connect(cmdAbout, &QPushButton::clicked, this, &RegWindow::cmdAbout_Click);
    connect(cmdClose, &QPushButton::clicked, this, &RegWindow::cmdClose_Click);

    for (QCheckBox* c : {chkConf, chkLog, chkZigZag, chkPoly[1], chkPoly[2], chkPoly[3],
                         chkPoly[4], chkPoly[5]})
        connect(c, &QCheckBox::stateChanged, this, &RegWindow::A_PLOT);
    for (QRadioButton* o : {optScale[0], optScale[1], optScaleX[0], optScaleX[1]})
        connect(o, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                A_PLOT();
        });
    for (int i = 0; i < 2; ++i)
        connect(optAllData[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                optAllData_Click(i);
        });
    ComboBox1->onItemChosen([this] { A_PLOT(); });
    comboProb->onItemChosen([this] { comboProb_Click(); });

    connect(new QShortcut(kPasteKeys, this), &QShortcut::activated, cmdPaste,
            &QPushButton::click);
    connect(new QShortcut(kCopyKeys, this), &QShortcut::activated, cmdCopy, &QPushButton::click);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this,
            &RegWindow::savePlotAs);
}

bool RegWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return QWidget::event(event);
}

// The paste and copy keys belong to the window wherever the focus is: a text field (the
// degree box) would take Ctrl+V and Ctrl+C as a shortcut override for itself; left
// unaccepted, the override lets the window's shortcut have them.
bool RegWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        const QKeySequence keys(static_cast<QKeyEvent*>(event)->keyCombination());
        if (keys == kPasteKeys || keys == kCopyKeys)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void RegWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    Form_Activate();
}

void RegWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutControls();
}

// The set-up of the first activation. Later activations (coming back from the spreadsheet)
// leave the chosen level and degree alone.
void RegWindow::Form_Activate()
{
    if (std::exchange(m_activated, true))
        return;
    fill(ComboBox1, comboBox1Items());
    ComboBox1->setCurrentIndex(kComboBox1Default);  // runs ComboBox1's handler
    fill(comboProb, comboProbItems());
    comboProb->setCurrentIndex(kComboProbDefault);  // runs comboProb_Click
    m_state.probCol = kComboProbDefault + 1;
    A_PLOT();
}

void RegWindow::readControls()
{
    RegControls& c = m_controls;
    c.chkConf = checkValue(chkConf);
    c.chkLog = checkValue(chkLog);
    c.chkZigZag = checkValue(chkZigZag);
    for (int slot = 1; slot <= kPolySlots; ++slot)
        c.chkPoly[slot] = checkValue(chkPoly[slot]);
    for (int i = 0; i < kExportMethods; ++i)
        c.chkEX[i] = checkValue(chkEX[i]);
    c.optScaleFull = optScale[0]->isChecked();
    c.optScaleXFull = optScaleX[0]->isChecked();
    c.comboBox1Text = ComboBox1->currentText().toStdString();
    c.comboBox1Index = ComboBox1->currentIndex();
    c.comboProbIndex = comboProb->currentIndex();
}

void RegWindow::showLabels()
{
    const StatLabels& l = m_controls.labels;
    auto show = [](QLabel* label, const std::string& text) {
        label->setText(QString::fromStdString(text));
    };
    show(lblNData, l.lblNData);
    show(lblnDataOK, l.lblnDataOK);
    show(lblRej, l.lblRej);
    show(lbl_LRa, l.lbl_LRa);
    show(lbl_LRb, l.lbl_LRb);
    show(lbl_LRr, l.lbl_LRr);
    show(lblDiff, l.lblDiff);
    show(lblDiffProc, l.lblDiffProc);
    show(lbl_LoRa, l.lbl_LoRa);
    show(lbl_LoRb, l.lbl_LoRb);
    show(lbl_LoRr, l.lbl_LoRr);
    show(lblDiffLog, l.lblDiffLog);
    show(lblDiffProcLog, l.lblDiffProcLog);
    for (int slot = 1; slot <= kPolySlots; ++slot) {
        show(lblDiffPoly[slot], l.lblDiffPoly[slot]);
        show(lblDiffProcPoly[slot], l.lblDiffProcPoly[slot]);
    }
    show(Label2, l.Label2);
}

void RegWindow::A_PLOT()
{
    readControls();
    const RunReport report = kalibrix::A_PLOT(m_state, m_controls, m_fmt);
    if (!report.ran)
        return;
    showLabels();
    m_plot->update();
    for (const UserMessage& message : report.messages)
        MessageBoxes::show(this, message);
}

void RegWindow::cmdPaste_Click()
{
    const QString text = QGuiApplication::clipboard()->text();
    PasteResult pasted = Paste_Table(text.toStdString(), QLocale::system());
    if (pasted.table)
        m_state.table = std::move(*pasted.table);
    else if (pasted.message)
        MessageBoxes::show(this, *pasted.message);
    A_PLOT();
}

void RegWindow::cmdRestore_Click()
{
    restoreAllData(m_state);
    A_PLOT();
}

void RegWindow::optAllData_Click(int index)
{
    m_state.allData = index == 0;
    A_PLOT();
}

void RegWindow::comboProb_Click()
{
    m_state.probCol = comboProb->currentIndex() + 1;
    A_PLOT();
}

void RegWindow::cmdCopy_Click()
{
    const WaitCursor hourglass;
    readControls();
    const std::string text = exportText(m_state, m_controls, m_fmt);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromStdString(text));
}

void RegWindow::cmdAbout_Click()
{
    MessageBoxes::show(this, {kAboutText, MessageIcon::Exclamation, kAppTitle});
}

void RegWindow::cmdClose_Click()
{
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

bool RegWindow::savePlotFile(const QString& file, QString* error) const
{
    return savePlot(m_plot->shownPlot(), file, m_plot->size(), error);
}

void RegWindow::savePlotAs()
{
    static const QString png = tr("PNG picture (*.png)");
    static const QString svg = tr("SVG drawing (*.svg)");
    QString filter = png;
    QString file = QFileDialog::getSaveFileName(this, tr("Save plot"),
                                                QStringLiteral("kalibrix-plot.png"),
                                                png + QStringLiteral(";;") + svg, &filter);
    if (file.isEmpty())
        return;
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg"))
        file += filter == svg ? QStringLiteral(".svg") : QStringLiteral(".png");
    QString error;
    if (!savePlotFile(file, &error))
        MessageBoxes::show(this, {error.toStdString(), MessageIcon::Exclamation, kAppTitle});
}

}  // namespace kalibrix
