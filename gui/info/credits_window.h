// "Разработчики": the two contributors, with a pair of level-meter strips jumping between them
// while the window is open.
#pragma once

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <QWidget>
#include <random>

#include "gui/common/app_context.h"

namespace kelvarn {

class CreditsWindow : public QWidget {
    Q_OBJECT
public:
    explicit CreditsWindow(const AppContext& context, QWidget* parent = nullptr);

    QLabel* Image1;
    QPlainTextEdit* Memo1;
    QFrame* Panel1;
    QLabel* Left;
    QFrame* Panel2;
    QLabel* Rigth;
    QLabel* Image2;
    QPlainTextEdit* Memo2;
    QTimer* Time;

    // The main menu starts the strips just before it shows the window.
    void startAnimation();
    // Stops the strips; closing is always allowed.
    bool FormCloseQuery();
    // Replaces the clock seed, so a run of ticks can be repeated.
    void setRandomSeed(unsigned seed) { random_.seed(seed); }

public slots:
    // Each strip shows as much of the meter as its new width: the lower one never more than the
    // upper one.
    void TimeTimer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    int Random(int range);

    std::mt19937 random_;
};

}  // namespace kelvarn
