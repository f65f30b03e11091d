// The window's controls: where each stands and what it holds before the
// language is applied. Captions of labels, radio groups, group boxes and check
// boxes are set afterwards from the language table; the others are fixed here.

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "wizard/taaform1.h"

namespace {

constexpr int kWidth = 594;
constexpr int kHeight = 425;
constexpr int kLeftWidth = 177;
constexpr int kPageWidth = 415;
constexpr int kPageHeight = 372;
constexpr int kStripHeight = 41;
// Pages start below the strip Panel4 covers (where a page control's tab row
// would be).
constexpr int kPageTop = 30;

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLabel* label(QWidget* parent, const char* name, bool wrap = false) {
    auto* l = named(new QLabel(parent), name);
    l->setWordWrap(wrap);
    return l;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = named(new QPushButton(caption, parent), name);
    b->setAutoDefault(false);
    return b;
}

QPushButton* hiddenButton(QWidget* parent, const char* name) {
    auto* b = button(parent, name, QString::fromLatin1(name));
    b->setVisible(false);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QLineEdit* field(QWidget* parent, const char* name) { return named(new QLineEdit(parent), name); }

QVBoxLayout* pageLayout(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(16, kPageTop, 16, 8);
    layout->setSpacing(6);
    return layout;
}

}  // namespace

void Taaform1::buildWindow() {
    setObjectName(QStringLiteral("aaform1"));
    // A fixed single border with only the system menu and the close box.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(kWidth, kHeight);
    setWindowIcon(QIcon(MarkPixmap(48)));
    // The platform's own interface font, at the classic wizard's 8 points.
    QFont font = QApplication::font();
    font.setPointSize(8);
    setFont(font);

    buildLeftPanel();

    Panel2 = named(new QWidget(this), "Panel2");
    Panel2->setGeometry(kLeftWidth, 0, kWidth - kLeftWidth, kHeight);

    pg = named(new QStackedWidget(Panel2), "pg");
    pg->setGeometry(1, 1, kPageWidth, kPageHeight);
    pg->setFocusPolicy(Qt::NoFocus);
    const char* sheets[] = {"TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4",
                            "TabSheet5", "TabSheet6", "TabSheet7"};
    for (const char* sheet : sheets) pg->addWidget(named(new QWidget, sheet));
    buildPage1(pg->widget(0));
    buildPage2(pg->widget(1));
    buildPage3(pg->widget(2));
    buildPage4(pg->widget(3));
    buildPage5(pg->widget(4));
    buildPage6(pg->widget(5));
    buildStorePage(pg->widget(6));

    // The start-up places it at (1, 1), over the top of the page control.
    Panel4 = named(new QWidget(Panel2), "Panel4");
    Panel4->resize(408, 23);

    Panel5 = named(new QWidget(Panel2), "Panel5");
    Panel5->setGeometry(0, kHeight - kStripHeight - 3, kWidth - kLeftWidth, 3);
    Panel5->setAutoFillBackground(true);
    QPalette separator = Panel5->palette();
    separator.setColor(QPalette::Window, separator.color(QPalette::Mid));
    Panel5->setPalette(separator);

    buildButtonStrip();
}

void Taaform1::buildLeftPanel() {
    Panel1 = named(new QWidget(this), "Panel1");
    Panel1->setGeometry(0, 0, kLeftWidth, kHeight);
    Panel1->setAutoFillBackground(true);
    QPalette palette = Panel1->palette();
    palette.setColor(QPalette::Window, QColor(0xe3, 0xeb, 0xf4));
    palette.setColor(QPalette::WindowText, QColor(0x1d, 0x35, 0x57));
    Panel1->setPalette(palette);

    QLabel** labels[] = {&Label1, &Label3, &Label4, &Label5, &Label6};
    const char* names[] = {"Label1", "Label3", "Label4", "Label5", "Label6"};
    for (int i = 0; i < 5; ++i) {
        QLabel* l = label(Panel1, names[i], true);
        l->setGeometry(14, 24 + 50 * i, kLeftWidth - 22, 44);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        *labels[i] = l;
    }

    Image1 = new TLogoImage(Panel1);
    Image1->setGeometry(1, kHeight - 47 - 8, 175, 47);
}

void Taaform1::buildButtonStrip() {
    Panel3 = named(new QWidget(Panel2), "Panel3");
    Panel3->setGeometry(0, kHeight - kStripHeight, kWidth - kLeftWidth, kStripHeight);
    btback = button(Panel3, "btback", QStringLiteral("< Back"));
    btnext = button(Panel3, "btnext", QStringLiteral("Next >"));
    btcancel = button(Panel3, "btcancel", QStringLiteral("Close"));
    bthelp = button(Panel3, "bthelp", QStringLiteral("Help"));
    btback->setGeometry(90, 8, 75, 25);
    btnext->setGeometry(168, 8, 75, 25);
    btcancel->setGeometry(255, 8, 75, 25);
    bthelp->setGeometry(332, 8, 75, 25);
    btnext->setDefault(true);
}

void Taaform1::buildPage1(QWidget* page) {
    auto* layout = pageLayout(page);
    Label7 = label(page, "Label7", true);
    Label8 = label(page, "Label8", true);
    QFont title = font();
    title.setPointSize(10);
    title.setBold(true);
    Label7->setFont(title);
    Label8->setFont(title);
    Label9 = label(page, "Label9", true);
    Label10 = label(page, "Label10", true);
    layout->addSpacing(8);
    layout->addWidget(Label7);
    layout->addWidget(Label8);
    layout->addSpacing(18);
    layout->addWidget(Label9);
    layout->addSpacing(10);
    layout->addWidget(Label10);
    layout->addStretch(1);
}

void Taaform1::buildPage2(QWidget* page) {
    auto* layout = pageLayout(page);
    Label11 = label(page, "Label11", true);
    layout->addWidget(Label11);

    accessmode = new TRadioGroup(QStringLiteral("accessmode"),
                                 {QStringLiteral("&Local"), QStringLiteral("&Romote")}, 2, page);
    accessmode->setItemIndex(0);
    layout->addWidget(accessmode);

    authorization = named(new QGroupBox(page), "authorization");
    auto* auth = new QGridLayout(authorization);
    auth->setContentsMargins(8, 4, 8, 4);
    auth->setVerticalSpacing(3);
    Label15 = label(authorization, "Label15");
    Label12 = label(authorization, "Label12");
    Label13 = label(authorization, "Label13");
    edtdatabase = field(authorization, "edtdatabase");
    edtname = field(authorization, "edtname");
    edtpassword = field(authorization, "edtpassword");
    edtpassword->setEchoMode(QLineEdit::Password);
    auth->addWidget(Label15, 0, 0);
    auth->addWidget(edtdatabase, 0, 1);
    auth->addWidget(Label12, 1, 0);
    auth->addWidget(edtname, 1, 1);
    auth->addWidget(Label13, 2, 0);
    auth->addWidget(edtpassword, 2, 1);
    layout->addWidget(authorization);

    GroupBox2 = named(new QGroupBox(page), "GroupBox2");
    auto* remote = new QGridLayout(GroupBox2);
    remote->setContentsMargins(8, 4, 8, 4);
    Label14 = label(GroupBox2, "Label14");
    edthost = field(GroupBox2, "edthost");
    Label16 = label(GroupBox2, "Label16", true);
    remote->addWidget(Label14, 0, 0);
    remote->addWidget(edthost, 0, 1);
    remote->addWidget(Label16, 1, 1);

    GroupBox1 = named(new QGroupBox(page), "GroupBox1");
    auto* port = new QGridLayout(GroupBox1);
    port->setContentsMargins(8, 4, 8, 4);
    edtport111 = label(GroupBox1, "edtport111");
    edtport = field(GroupBox1, "edtport");
    edtport->setText(QStringLiteral("3306"));
    Label17 = label(GroupBox1, "Label17", true);
    port->addWidget(edtport111, 0, 0);
    port->addWidget(edtport, 0, 1);
    port->addWidget(Label17, 1, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(GroupBox2, 1);
    row->addWidget(GroupBox1, 1);
    layout->addLayout(row);

    step2 = button(page, "step2", QStringLiteral("step2"));
    layout->addWidget(step2, 0, Qt::AlignRight);
    layout->addStretch(1);
}

void Taaform1::buildPage3(QWidget* page) {
    auto* layout = pageLayout(page);
    Label18 = label(page, "Label18", true);
    Label19 = label(page, "Label19", true);
    Label20 = label(page, "Label20", true);
    layout->addWidget(Label18);
    layout->addSpacing(6);
    layout->addWidget(Label19);
    layout->addWidget(Label20);
    layout->addSpacing(12);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    Label21 = label(page, "Label21");
    Label22 = label(page, "Label22");
    Label23 = label(page, "Label23");
    edtservice = field(page, "edtservice");
    edtoracleusername = field(page, "edtoracleusername");
    edtoraclepassword = field(page, "edtoraclepassword");
    edtoraclepassword->setEchoMode(QLineEdit::Password);
    // The "&" of each caption reaches the field beside it.
    Label21->setBuddy(edtservice);
    Label22->setBuddy(edtoracleusername);
    Label23->setBuddy(edtoraclepassword);
    grid->addWidget(Label21, 0, 0);
    grid->addWidget(edtservice, 0, 1);
    grid->addWidget(Label22, 1, 0);
    grid->addWidget(edtoracleusername, 1, 1);
    grid->addWidget(Label23, 2, 0);
    grid->addWidget(edtoraclepassword, 2, 1);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    layout->addStretch(1);
    step3 = hiddenButton(page, "step3");
}

void Taaform1::buildPage4(QWidget* page) {
    auto* layout = pageLayout(page);
    Label24 = label(page, "Label24", true);
    layout->addWidget(Label24);
    layout->addSpacing(4);

    processtable = new TRadioGroup(
        QStringLiteral("processtable"),
        {QStringLiteral("Overwrite"), QStringLiteral("Merge"), QStringLiteral("Skip")}, 3, page);
    processtable->setItemIndex(0);
    layout->addWidget(processtable);

    chktabledefi = named(new QCheckBox(page), "chktabledefi");
    chkskipindex = named(new QCheckBox(page), "chkskipindex");
    chkblobtotext = named(new QCheckBox(page), "chkblobtotext");
    layout->addWidget(chktabledefi);
    layout->addWidget(chkskipindex);
    layout->addWidget(chkblobtotext);
    layout->addSpacing(6);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(4);
    labelaccessformat = label(page, "labelaccessformat");
    cbaccessformat = named(new QComboBox(page), "cbaccessformat");
    cbaccessformat->addItems({QStringLiteral("MS Access 95/97"), QStringLiteral("MS Access 2000")});
    cbaccessformat->setCurrentIndex(0);
    labelaccessname = label(page, "labelaccessname");
    editaccessname = field(page, "editaccessname");
    editaccessname->setReadOnly(true);
    btbrowse = button(page, "btbrowse", QStringLiteral("Browse..."));
    btbrowse->setFixedSize(75, 25);
    grid->addWidget(labelaccessformat, 0, 0, 1, 2);
    grid->addWidget(cbaccessformat, 1, 0, Qt::AlignLeft);
    grid->addWidget(labelaccessname, 2, 0, 1, 2);
    grid->addWidget(editaccessname, 3, 0);
    grid->addWidget(btbrowse, 3, 1);
    grid->setRowMinimumHeight(2, 22);
    grid->setColumnStretch(0, 1);
    layout->addLayout(grid);
    layout->addStretch(1);
    step4 = hiddenButton(page, "step4");
}

void Taaform1::buildPage5(QWidget* page) {
    Label26 = label(page, "Label26", true);
    Label26->setGeometry(7, kPageTop, 400, 30);
    Label26->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label27 = label(page, "Label27");
    Label27->setGeometry(7, 62, 153, 16);
    Label28 = label(page, "Label28");
    Label28->setGeometry(252, 62, 156, 16);

    availabletables = named(new QListWidget(page), "availabletables");
    availabletables->setGeometry(7, 80, 153, 229);
    selecttables = named(new QListWidget(page), "selecttables");
    selecttables->setGeometry(252, 80, 156, 229);
    for (QListWidget* list : {availabletables, selecttables}) {
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    }

    Button1 = button(page, "Button1", QStringLiteral("Add >"));
    Button2 = button(page, "Button2", QStringLiteral("Add all >"));
    Button3 = button(page, "Button3", QStringLiteral("< Remove"));
    Button4 = button(page, "Button4", QStringLiteral("< Remove all"));
    const int tops[] = {88, 132, 176, 221};
    QPushButton* moves[] = {Button1, Button2, Button3, Button4};
    // Wider than the strip's buttons: "< Remove all" needs it in most fonts.
    for (int i = 0; i < 4; ++i) moves[i]->setGeometry(164, tops[i], 84, 25);

    btcreatebat = button(page, "btcreatebat", QString());
    btcreatebat->setGeometry(7, 318, 150, 25);
    bkstep5 = hiddenButton(page, "bkstep5");
    step5 = hiddenButton(page, "step5");
}

void Taaform1::buildPage6(QWidget* page) {
    scview = named(new QPlainTextEdit(page), "sc");
    scview->setGeometry(7, kPageTop - 2, kPageWidth - 14, kPageHeight - kPageTop - 6);
    scview->setReadOnly(true);
    scview->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scview->setLineWrapMode(QPlainTextEdit::NoWrap);
    step6 = hiddenButton(page, "step6");
}

void Taaform1::buildStorePage(QWidget* page) {
    PageControl1 = named(new QWidget(page), "PageControl1");
    auto* layout = new QVBoxLayout(PageControl1);
    Label29 = label(PageControl1, "Label29");
    Label30 = label(PageControl1, "Label30");
    Label32 = label(PageControl1, "Label32");
    helpurl = label(PageControl1, "helpurl");
    queryclose = label(PageControl1, "queryclose");
    nullaccessname = label(PageControl1, "nullaccessname");
    linkmysqlerror = label(PageControl1, "linkmysqlerror", true);
    Label2 = label(PageControl1, "Label2");
    chkuppercase = named(new QCheckBox(PageControl1), "chkuppercase");
    chkuppercase->setVisible(false);
    for (QWidget* w : std::initializer_list<QWidget*>{Label29, Label30, Label32, helpurl,
                                                      queryclose, nullaccessname, linkmysqlerror,
                                                      Label2, chkuppercase})
        layout->addWidget(w);
}
