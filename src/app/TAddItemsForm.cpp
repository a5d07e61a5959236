#include "TAddItemsForm.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <utility>

#include "ButtonGlyphs.h"
#include "EditorState.h"
#include "ExceptionDialog.h"
#include "LineRecords.h"
#include "ProjectBaseline.h"
#include "TAlignJob.h"
#include "TDockLayout.h"
#include "TForScroll.h"

TAddItemsForm* AddItemsForm = nullptr;

namespace {

QFrame* MakePanel(QWidget* parent, int x, int y, int w, int h, QFrame::Shadow shadow = QFrame::Raised) {
    auto* panel = new QFrame(parent);
    panel->setFrameStyle(QFrame::Panel | shadow);
    panel->setLineWidth(1);
    panel->setGeometry(x, y, w, h);
    // The frame already insets the contents by its 1-pixel bevel.
    new TDockLayout(panel, 0);
    return panel;
}

TDockLayout* Dock(QWidget* parent) { return static_cast<TDockLayout*>(parent->layout()); }

QToolButton* MakeSpeedButton(QWidget* parent, const QString& caption, int x, int y, int w, int h) {
    auto* b = new QToolButton(parent);
    b->setText(caption);
    b->setAutoRaise(true);
    b->setGeometry(x, y, w, h);
    return b;
}

QPushButton* MakeButton(QWidget* parent, const QString& caption, int x, int y, int w, int h) {
    auto* b = new QPushButton(caption, parent);
    b->setGeometry(x, y, w, h);
    return b;
}

QFont TextFont(int pixels) {
    QFont f;
    f.setFamilies(
        {QStringLiteral("Lucida Console"), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Monospace")});
    f.setStyleHint(QFont::Monospace);
    f.setPixelSize(pixels);
    return f;
}

}  // namespace

TAddItemsForm::TAddItemsForm(QWidget* owner) : QWidget(owner) {
    AddItemsForm = this;
    CreateComponents();
    NameComponents();
    WireEvents();
    SetUpAlign();
    WireReview();

    // A second window in one run (the tests make several) replaces the first one's scrollers.
    delete EditorState.ZoomScroller;
    delete EditorState.PosScroller;
    EditorState.ZoomScroller = new TForScroll(
        nullptr, SqzImg, IL.get(), 0, &EditorState.ViewSpan, &EditorState.ZoomFactor, 0, 0,
        [](TForScroll*) { RunHandler(ViewChanged); }, nullptr);
    EditorState.PosScroller = new TForScroll(
        nullptr, PosImg, IL.get(), 2, &EditorState.ViewStart, &EditorState.ViewSpan, 1, 0,
        [](TForScroll*) { RunHandler(ViewChanged); }, nullptr);
    for (int i = 0; i < EditorState.MaxItems; ++i) {
        ItemTable[i].Flag = 0;
        ItemTable[i].Start = 0;
        ItemTable[i].Finish = 0;
    }
    for (QImage& slot : PictureTable) slot = QImage();
    // No line beyond the table yet.
    LateRecords.clear();
    // Created once for the run and never released.
    if (!EditorState.WaveBitmap) EditorState.WaveBitmap = new QImage();
    // Unsaved changes are counted from the empty editor on.
    TakeProjectBaseline(*this);
}

TAddItemsForm::~TAddItemsForm() {
    CancelAlign();
    if (AddItemsForm == this) AddItemsForm = nullptr;
}

void TAddItemsForm::CreateComponents() {
    setWindowTitle(QStringLiteral("Sorvelle"));
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans")});
    font.setPixelSize(11);
    setFont(font);
    resize(859, 747);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        move(avail.center() - QPoint(867 / 2, 774 / 2));
    }

    OD2 = std::make_unique<TOpenDialog>(this);
    OD2->Filter = QStringLiteral("*.txt|*.txt");
    OD2->InitialDir = QStringLiteral(".");
    IL = std::make_unique<TImageList>(25, 25);
    for (const QImage& g : MakeScrollerGlyphs()) IL->Add(g);
    OpenPictureDialog1 = std::make_unique<TOpenDialog>(this);

    auto* windowDock = new TDockLayout(this, 0);

    Panel5 = MakePanel(this, 0, 0, 859, 154);
    Panel3 = MakePanel(this, 0, 154, 859, 169);
    Panel2 = MakePanel(this, 0, 323, 859, 593);
    Panel8 = MakePanel(this, 0, 451, 859, 148);
    Panel1 = MakePanel(this, 0, 599, 859, 148);
    Panel3->hide();
    Panel8->hide();
    Panel1->hide();
    windowDock->AddDocked(Panel5, TAlign::Top);
    windowDock->AddDocked(Panel3, TAlign::Top);
    windowDock->AddDocked(Panel1, TAlign::Bottom);
    windowDock->AddDocked(Panel8, TAlign::Bottom);
    windowDock->AddDocked(Panel2, TAlign::Client);

    // Waveform area.
    Panel7 = MakePanel(Panel5, 1, 1, 857, 41);
    Dock(Panel5)->AddDocked(Panel7, TAlign::Top);
    OpenBtn = MakeButton(Panel7, QStringLiteral("Open"), 8, 9, 73, 25);
    SaveBtn = MakeButton(Panel7, QStringLiteral("Save"), 88, 9, 75, 25);
    SpeedButton6 = MakeSpeedButton(Panel7, QString(), 264, 9, 25, 25);
    SpeedButton6->setCheckable(true);
    SpeedButton6->setIcon(QIcon(QPixmap::fromImage(MakePicturesGlyph())));
    SpeedButton6->setIconSize(QSize(20, 20));
    SpeedButton6->setProperty("GroupIndex", 2008022601);
    SpeedButton7 = MakeSpeedButton(Panel7, QStringLiteral("Tr"), 296, 9, 25, 25);
    SpeedButton7->setCheckable(true);
    SpeedButton7->setProperty("GroupIndex", 2008022602);
    QFont bold = font;
    bold.setBold(true);
    SpeedButton7->setFont(bold);
    SpeedButton8 = MakeSpeedButton(Panel7, QString(), 328, 9, 25, 25);
    SpeedButton8->setCheckable(true);
    SpeedButton8->setIcon(QIcon(QPixmap::fromImage(MakeSegmentsGlyph())));
    SpeedButton8->setIconSize(QSize(20, 20));
    SpeedButton8->setProperty("GroupIndex", 2008022603);
    CheckBox1 = new QCheckBox(QStringLiteral("CheckBox1"), Panel7);
    CheckBox1->setGeometry(696, 16, 97, 17);
    CheckBox1->hide();

    SoundView = new TPaintBox(Panel5, Qt::white);
    SoundView->setGeometry(1, 42, 857, 80);
    Dock(Panel5)->AddDocked(SoundView, TAlign::Top);
    ProgressBar1 = new QProgressBar(Panel5);
    ProgressBar1->setGeometry(1, 144, 857, 9);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();
    Dock(Panel5)->AddDocked(ProgressBar1, TAlign::Bottom);

    BitBtn1 = MakeButton(Panel5, QString(), 240, 124, 75, 25);
    BitBtn1->setIcon(QIcon(QPixmap::fromImage(MakePlayGlyph(false))));
    BitBtn1->setIconSize(QSize(20, 18));
    SqzImg = new TImage(Panel5);
    SqzImg->setGeometry(397, 124, 25, 25);
    PosImg = new TImage(Panel5);
    PosImg->setGeometry(437, 124, 25, 25);
    if (IL->Count() >= 3) {
        SqzImg->Picture = IL->Glyphs[0];
        PosImg->Picture = IL->Glyphs[2];
    }
    BitBtn3 = MakeButton(Panel5, QStringLiteral("SetText"), 546, 124, 73, 25);

    // Archive strip.
    Panel4 = MakePanel(Panel3, 818, 1, 40, 167, QFrame::Sunken);
    Dock(Panel3)->AddDocked(Panel4, TAlign::Right);
    ImsView = new TPaintBox(Panel3, QColor(0, 255, 255));
    ImsView->setGeometry(1, 1, 817, 167);
    Dock(Panel3)->AddDocked(ImsView, TAlign::Client);
    SpeedButton1 = MakeSpeedButton(Panel4, QStringLiteral("+"), 9, 16, 23, 22);
    SpeedButton4 = MakeSpeedButton(Panel4, QStringLiteral("<<"), 9, 55, 23, 22);
    ImsToLeft_SB = MakeSpeedButton(Panel4, QStringLiteral("<"), 9, 80, 23, 22);
    ImsToRightSB = MakeSpeedButton(Panel4, QStringLiteral(">"), 9, 105, 23, 22);
    SpeedButton5 = MakeSpeedButton(Panel4, QStringLiteral(">>"), 9, 130, 23, 22);

    // Text area.
    ListBox1 = new TListBox(Panel2);
    ListBox1->setGeometry(1, 1, 241, 591);
    ListBox1->setFont(TextFont(12));
    ListBox1->SetTabWidth(8);
    Dock(Panel2)->AddDocked(ListBox1, TAlign::Left);
    Splitter1 = new TSplitter(Panel2, ListBox1, TAlign::Left);
    Splitter1->setGeometry(242, 1, 3, 591);
    Dock(Panel2)->AddDocked(Splitter1, TAlign::Left);
    Memo2 = new TMemo(Panel2);
    Memo2->setGeometry(776, 1, 82, 591);
    Memo2->setFont(TextFont(12));
    Memo2->hide();
    Dock(Panel2)->AddDocked(Memo2, TAlign::Right);
    Splitter2 = new TSplitter(Panel2, Memo2, TAlign::Right);
    Splitter2->setGeometry(773, 1, 3, 591);
    Splitter2->hide();
    Dock(Panel2)->AddDocked(Splitter2, TAlign::Right);
    Memo1 = new TMemo(Panel2);
    Memo1->setGeometry(245, 1, 613, 591);
    Memo1->setFont(TextFont(12));
    Dock(Panel2)->AddDocked(Memo1, TAlign::Client);

    // Context pane.
    RichEdit1 = new TRichEdit(Panel8);
    RichEdit1->setGeometry(1, 1, 857, 146);
    RichEdit1->setFont(TextFont(16));
    Dock(Panel8)->AddDocked(RichEdit1, TAlign::Client);

    // Line strip.
    Panel6 = MakePanel(Panel1, 818, 1, 40, 146, QFrame::Sunken);
    Dock(Panel1)->AddDocked(Panel6, TAlign::Right);
    SntImsView = new TPaintBox(Panel1);
    SntImsView->setGeometry(1, 1, 817, 146);
    Dock(Panel1)->AddDocked(SntImsView, TAlign::Client);
    SpeedButton2 = MakeSpeedButton(Panel6, QStringLiteral("+"), 8, 16, 23, 22);
    SpeedButton3 = MakeSpeedButton(Panel6, QStringLiteral("-"), 8, 48, 23, 22);
}

void TAddItemsForm::NameComponents() {
    setObjectName(QStringLiteral("AddItemsForm"));
    const std::pair<QObject*, const char*> components[] = {
        {Panel1, "Panel1"},
        {Panel2, "Panel2"},
        {ListBox1, "ListBox1"},
        {Panel3, "Panel3"},
        {Panel4, "Panel4"},
        {ImsToLeft_SB, "ImsToLeft_SB"},
        {ImsToRightSB, "ImsToRightSB"},
        {SpeedButton1, "SpeedButton1"},
        {ImsView, "ImsView"},
        {Panel5, "Panel5"},
        {SoundView, "SoundView"},
        {SqzImg, "SqzImg"},
        {PosImg, "PosImg"},
        {BitBtn3, "BitBtn3"},
        {SntImsView, "SntImsView"},
        {Panel6, "Panel6"},
        {SpeedButton2, "SpeedButton2"},
        {SpeedButton3, "SpeedButton3"},
        {SpeedButton4, "SpeedButton4"},
        {SpeedButton5, "SpeedButton5"},
        {Memo2, "Memo2"},
        {Splitter1, "Splitter1"},
        {Splitter2, "Splitter2"},
        {Panel7, "Panel7"},
        {SaveBtn, "SaveBtn"},
        {OpenBtn, "OpenBtn"},
        {SpeedButton6, "SpeedButton6"},
        {Panel8, "Panel8"},
        {RichEdit1, "RichEdit1"},
        {SpeedButton7, "SpeedButton7"},
        {BitBtn1, "BitBtn1"},
        {Memo1, "Memo1"},
        {CheckBox1, "CheckBox1"},
        {ProgressBar1, "ProgressBar1"},
        {SpeedButton8, "SpeedButton8"},
    };
    for (const auto& [component, name] : components) component->setObjectName(QLatin1String(name));
}

void TAddItemsForm::WireEvents() {
    auto click = [this](QAbstractButton* button, void (TAddItemsForm::*handler)(QObject*)) {
        connect(button, &QAbstractButton::clicked, this,
                [this, button, handler] { RunHandler([&] { (this->*handler)(button); }); });
    };
    click(OpenBtn, &TAddItemsForm::OpenBtnClick);
    click(SaveBtn, &TAddItemsForm::SaveBtnClick);
    click(BitBtn1, &TAddItemsForm::BitBtn1Click);
    click(BitBtn3, &TAddItemsForm::BitBtn3Click);
    click(SpeedButton1, &TAddItemsForm::SpeedButton1Click);
    click(SpeedButton2, &TAddItemsForm::SpeedButton2Click);
    click(SpeedButton3, &TAddItemsForm::SpeedButton3Click);
    click(SpeedButton4, &TAddItemsForm::SpeedButton4Click);
    click(SpeedButton5, &TAddItemsForm::SpeedButton5Click);
    click(ImsToLeft_SB, &TAddItemsForm::ImsToLeft_SBClick);
    click(ImsToRightSB, &TAddItemsForm::ImsToRightSBClick);
    click(SpeedButton6, &TAddItemsForm::SpeedButton6Click);
    click(SpeedButton7, &TAddItemsForm::SpeedButton7Click);
    click(CheckBox1, &TAddItemsForm::CheckBox1Click);
    click(SpeedButton8, &TAddItemsForm::SpeedButton8Click);

    connect(BitBtn1, &QAbstractButton::pressed, this,
            [this] { BitBtn1->setIcon(QIcon(QPixmap::fromImage(MakePlayGlyph(true)))); });
    connect(BitBtn1, &QAbstractButton::released, this,
            [this] { BitBtn1->setIcon(QIcon(QPixmap::fromImage(MakePlayGlyph(false)))); });

    using MouseHandler = void (TAddItemsForm::*)(QObject*, TMouseButton, TShiftState, int, int);
    auto mouse = [this](MouseHandler handler) {
        return [this, handler](QObject* s, TMouseButton b, TShiftState sh, int x, int y) {
            RunHandler([&] { (this->*handler)(s, b, sh, x, y); });
        };
    };
    // Painting only copies what the handlers drew, also while one of them runs (a repaint it asks for).
    auto paint = [this](void (TAddItemsForm::*handler)(QObject*)) {
        return [this, handler](QObject* s) { ShowExceptionsOf([&] { (this->*handler)(s); }); };
    };
    SoundView->OnPaint = paint(&TAddItemsForm::SoundViewPaint);
    SoundView->OnMouseUp = mouse(&TAddItemsForm::SoundViewMouseUp);
    ImsView->OnPaint = paint(&TAddItemsForm::ImsViewPaint);
    ImsView->OnMouseUp = mouse(&TAddItemsForm::ImsViewMouseUp);
    SntImsView->OnPaint = paint(&TAddItemsForm::SntImsViewPaint);
    Memo1->OnMouseUp = mouse(&TAddItemsForm::Memo1MouseUp);
    Memo2->OnMouseUp = mouse(&TAddItemsForm::Memo2MouseUp);
    RichEdit1->OnMouseDown = mouse(&TAddItemsForm::RichEdit1MouseDown);
    Panel5->installEventFilter(this);
}

bool TAddItemsForm::eventFilter(QObject* watched, QEvent* event) {
    if (MemoUndoKey(watched, event)) return true;
    if (watched == Panel5 && event->type() == QEvent::Resize) {
        // A resize while another handler runs is drawn when that one has ended.
        if (!RunHandler([&] { Panel5Resize(Panel5); })) {
            QMetaObject::invokeMethod(
                this, [this] { RunHandler([&] { Panel5Resize(Panel5); }); }, Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TAddItemsForm::closeEvent(QCloseEvent* e) {
    // A question that fails (a save that cannot be written) keeps the window open.
    bool mayClose = false;
    RunHandler([&] { mayClose = CanDiscardChanges(); });
    if (!mayClose) {
        e->ignore();
        return;
    }
    CancelAlign();
    RunHandler([&] { FormClose(this); });
    e->accept();
}
