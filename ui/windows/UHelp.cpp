#include "UHelp.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "MessageBoxes.h"

namespace moratutor::ui {

TFHelp::TFHelp(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("FHelp"));
    setWindowTitle(QStringLiteral("Справка: ") + moratutor::ui::ApplicationTitle());

    browserHelp = new QTextBrowser(this);
    browserHelp->setObjectName(QStringLiteral("browserHelp"));
    // Anchors move within the page; web and mail links go to the desktop.
    browserHelp->setOpenExternalLinks(true);

    btnBack = new QPushButton(QStringLiteral("Назад"), this);
    btnBack->setObjectName(QStringLiteral("btnBack"));
    btnForward = new QPushButton(QStringLiteral("Вперёд"), this);
    btnForward->setObjectName(QStringLiteral("btnForward"));
    btnHome = new QPushButton(QStringLiteral("К началу"), this);
    btnHome->setObjectName(QStringLiteral("btnHome"));
    auto* btnClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    for (QPushButton* button : {btnBack, btnForward, btnHome, btnClose}) button->setAutoDefault(false);
    btnBack->setEnabled(false);
    btnForward->setEnabled(false);
    connect(btnBack, &QPushButton::clicked, browserHelp, &QTextBrowser::backward);
    connect(btnForward, &QPushButton::clicked, browserHelp, &QTextBrowser::forward);
    connect(btnHome, &QPushButton::clicked, browserHelp, &QTextBrowser::home);
    connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
    connect(browserHelp, &QTextBrowser::backwardAvailable, btnBack, &QWidget::setEnabled);
    connect(browserHelp, &QTextBrowser::forwardAvailable, btnForward, &QWidget::setEnabled);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnBack);
    buttons->addWidget(btnForward);
    buttons->addWidget(btnHome);
    buttons->addStretch();
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browserHelp);
    layout->addLayout(buttons);

    // A page's width of text, but never more than the screen holds.
    QSize size(860, 720);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);
}

void TFHelp::ShowPage(const QString& page) {
    const QUrl url = QUrl::fromLocalFile(page);
    if (!QFileInfo(page).isFile()) {
        browserHelp->clearHistory();
        browserHelp->setHtml(QStringLiteral("<h2>Страница справки не найдена</h2><p>Файла «%1» нет. "
                                            "Установите программу заново, чтобы вернуть его.</p>")
                                 .arg(page.toHtmlEscaped()));
        return;
    }
    if (browserHelp->source() != url) browserHelp->setSource(url);
}

}  // namespace moratutor::ui
