// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/info/credits_window.h"

#include <QCloseEvent>
#include <QFrame>
#include <QPlainTextEdit>
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

QPlainTextEdit* creditsMemo(const char* text, const char* name, QWidget* parent) {
    auto* memo = named(new QPlainTextEdit(QString::fromUtf8(text), parent), name);
    memo->setReadOnly(true);
    setTextColours(memo, Qt::black, QColor(192, 192, 192));
    return memo;
}

QLabel* picture(const QString& resource, const char* name, QWidget* parent) {
    auto* label = named(new QLabel(parent), name);
    label->setPixmap(QPixmap(resource));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QFrame* stripPanel(const char* name, QWidget* parent) {
    auto* panel = named(new QFrame(parent), name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAutoFillBackground(true);
    return panel;
}

}  // namespace

CreditsWindow::CreditsWindow(const AppContext&, QWidget* parent) : SecondaryWindow(parent) {
    setUpSecondaryWindow(this, QStringLiteral("Разработчики"), true, 255);
    useSmallFont(this);

    QLabel* firstPicture = picture(QStringLiteral(":/credits/first.jpg"), "firstPicture", this);
    firstPicture->setGeometry(0, 0, kPicture, kPicture);
    QPlainTextEdit* firstCredits = creditsMemo(kFirstCredits, "firstCredits", this);
    firstCredits->setGeometry(kPicture, 0, kMemoWidth, kPicture);

    QFrame* upperStrip = stripPanel("upperStrip", this);
    upperStrip->setGeometry(0, kPicture, kStripWidth, kPanelHeight);
    upperMeter_ = picture(QStringLiteral(":/credits/strip.jpg"), "upperMeter", upperStrip);
    upperMeter_->setGeometry(0, (kPanelHeight - kStripHeight) / 2, kStripWidth, kStripHeight);
    QFrame* lowerStrip = stripPanel("lowerStrip", this);
    lowerStrip->setGeometry(0, kPicture + kPanelHeight, kStripWidth, kPanelHeight);
    lowerMeter_ = picture(QStringLiteral(":/credits/strip.jpg"), "lowerMeter", lowerStrip);
    lowerMeter_->setGeometry(0, (kPanelHeight - kStripHeight) / 2, kStripWidth, kStripHeight);

    const int lower = kPicture + 2 * kPanelHeight;
    QLabel* secondPicture = picture(QStringLiteral(":/credits/second.jpg"), "secondPicture", this);
    secondPicture->setGeometry(0, lower, kPicture, kPicture);
    QPlainTextEdit* secondCredits = creditsMemo(kSecondCredits, "secondCredits", this);
    secondCredits->setFrameShape(QFrame::NoFrame);
    secondCredits->setGeometry(kPicture, lower, kMemoWidth, kPicture);
    setFixedSize(kStripWidth, lower + kPicture);

    meterTimer_ = named(new QTimer(this), "meterTimer");
    meterTimer_->setInterval(100);
    connect(meterTimer_, &QTimer::timeout, this, &CreditsWindow::moveMeters);

    random_.seed(
        static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));
}

int CreditsWindow::random(int range) {
    return std::uniform_int_distribution<int>(0, range - 1)(random_);
}

void CreditsWindow::open(QWidget* owner) {
    meterTimer_->start();
    SecondaryWindow::open(owner);
}

void CreditsWindow::moveMeters() {
    int a = random(kStripWidth);
    int b = random(20);
    int left = a - b;
    int c = random(10);
    int right = left - c;
    upperMeter_->resize(std::max(left, 0), kStripHeight);
    lowerMeter_->resize(std::max(right, 0), kStripHeight);
}

void CreditsWindow::closeEvent(QCloseEvent* event) {
    meterTimer_->stop();
    event->accept();
}

}  // namespace kelvarn
