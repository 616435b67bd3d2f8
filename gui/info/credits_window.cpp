#include "gui/info/credits_window.h"

#include <QCloseEvent>
#include <algorithm>
#include <chrono>

#include "gui/common/window_util.h"

namespace kelvarn {
namespace {

constexpr int kPicture = 250;
constexpr int kStripWidth = 481;
constexpr int kStripHeight = 9;
constexpr int kPanelHeight = 18;
constexpr int kMemoWidth = kStripWidth - kPicture;

const char* const kFirstCredits =
    "Kelvarn team\n"
    "\n"
    "Идея, программирование:\n"
    "Артём Лесовой\n"
    "\n"
    "Каталог, закачка,\n"
    "сборка под Linux\n"
    "\n"
    "e-mail: artem.lesovoy@example.org";

const char* const kSecondCredits =
    "Kelvarn team\n"
    "\n"
    "Оформление, звуки, тексты:\n"
    "Дарья Зимина\n"
    "\n"
    "Проверка на живой базе,\n"
    "помощь и письмо автора\n"
    "\n"
    "e-mail: daria.zimina@example.org";

QPlainTextEdit* creditsMemo(const char* text, QWidget* parent) {
    auto* memo = new QPlainTextEdit(QString::fromUtf8(text), parent);
    memo->setReadOnly(true);
    QPalette colours = memo->palette();
    colours.setColor(QPalette::Base, Qt::black);
    colours.setColor(QPalette::Text, QColor(192, 192, 192));
    memo->setPalette(colours);
    return memo;
}

QLabel* picture(const QString& resource, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(QPixmap(resource));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QFrame* stripPanel(QWidget* parent) {
    auto* panel = new QFrame(parent);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAutoFillBackground(true);
    return panel;
}

}  // namespace

CreditsWindow::CreditsWindow(const AppContext&, QWidget* parent) : QWidget(parent) {
    setUpSecondaryWindow(this, QStringLiteral("Разработчики"), true, 255);
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    Image1 = picture(QStringLiteral(":/credits/first.jpg"), this);
    Image1->setGeometry(0, 0, kPicture, kPicture);
    Memo1 = creditsMemo(kFirstCredits, this);
    Memo1->setGeometry(kPicture, 0, kMemoWidth, kPicture);

    Panel1 = stripPanel(this);
    Panel1->setGeometry(0, kPicture, kStripWidth, kPanelHeight);
    Left = picture(QStringLiteral(":/credits/strip.jpg"), Panel1);
    Left->setGeometry(0, (kPanelHeight - kStripHeight) / 2, kStripWidth, kStripHeight);
    Panel2 = stripPanel(this);
    Panel2->setGeometry(0, kPicture + kPanelHeight, kStripWidth, kPanelHeight);
    Rigth = picture(QStringLiteral(":/credits/strip.jpg"), Panel2);
    Rigth->setGeometry(0, (kPanelHeight - kStripHeight) / 2, kStripWidth, kStripHeight);

    const int lower = kPicture + 2 * kPanelHeight;
    Image2 = picture(QStringLiteral(":/credits/second.jpg"), this);
    Image2->setGeometry(0, lower, kPicture, kPicture);
    Memo2 = creditsMemo(kSecondCredits, this);
    Memo2->setFrameShape(QFrame::NoFrame);
    Memo2->setGeometry(kPicture, lower, kMemoWidth, kPicture);
    setFixedSize(kStripWidth, lower + kPicture);

    Time = new QTimer(this);
    Time->setInterval(100);
    connect(Time, &QTimer::timeout, this, &CreditsWindow::TimeTimer);

    FormCreate();
}

void CreditsWindow::FormCreate() {
    random_.seed(
        static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));
}

int CreditsWindow::Random(int range) {
    return std::uniform_int_distribution<int>(0, range - 1)(random_);
}

void CreditsWindow::startAnimation() {
    Time->start();
}

void CreditsWindow::TimeTimer() {
    int a = Random(kStripWidth);
    int b = Random(20);
    int left = a - b;
    int c = Random(10);
    int right = left - c;
    Left->resize(std::max(left, 0), kStripHeight);
    Rigth->resize(std::max(right, 0), kStripHeight);
}

bool CreditsWindow::FormCloseQuery() {
    Time->stop();
    return true;
}

void CreditsWindow::closeEvent(QCloseEvent* event) {
    event->setAccepted(FormCloseQuery());
}

}  // namespace kelvarn
