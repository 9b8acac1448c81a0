#include "comun_shell.h"

#include "mainmdi.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

using Principal = ConPrograma;

int bordeDerecho(QWidget* boton, QWidget* ventana) { return boton->mapTo(ventana, QPoint(boton->width(), 0)).x(); }

TEST_F(Principal, NarrowingStaysNarrowAndTheButtonsFollowTheRightEdge)
{
    MainMDI v;
    v.resize(1024, 700);
    v.show();
    QApplication::processEvents();
    QWidget* fin = v.Boton(QStringLiteral("fin"));
    ASSERT_NE(fin, nullptr);
    for (int ancho : {900, 700, 1100, 640, 1024}) {
        v.resize(ancho, 700);
        QApplication::processEvents();
        QApplication::processEvents();
        EXPECT_EQ(v.width(), ancho);
        // The placeholder only takes what is free: the window may always be made narrow again.
        EXPECT_LT(v.minimumSizeHint().width(), 600);
        EXPECT_LT(v.minimumWidth(), 600);
        EXPECT_GT(bordeDerecho(fin, &v), ancho - 40) << ancho;
    }
}

TEST_F(Principal, ToolbarCannotBeHiddenOrMoved)
{
    MainMDI v;
    v.show();
    EXPECT_EQ(v.createPopupMenu(), nullptr);
    EXPECT_FALSE(v.TBar->isMovable());
    EXPECT_FALSE(v.TBar->isFloatable());
    EXPECT_FALSE(v.TBar->toggleViewAction()->isEnabled());
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), v.TBar->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(v.TBar, &menu);
    QApplication::processEvents();
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(v.TBar->isVisible());
}

TEST_F(Principal, HasTheProgramsIconAndFittingButtonIcons)
{
    MainMDI v;
    EXPECT_FALSE(v.windowIcon().isNull());
    EXPECT_EQ(v.windowIcon().pixmap(32).toImage(), IconoPrograma().pixmap(32).toImage());
    const QImage generico = v.style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(32).toImage();
    std::vector<QImage> vistas;
    for (QToolButton* b : v.TBar->findChildren<QToolButton*>()) {
        if (b->objectName().isEmpty())
            continue;  // the toolbar's own extension button
        ASSERT_FALSE(b->icon().isNull()) << qPrintable(b->objectName());
        const QImage imagen = b->icon().pixmap(32).toImage();
        EXPECT_NE(imagen, generico) << qPrintable(b->objectName());
        for (const QImage& otra : vistas)
            EXPECT_NE(imagen, otra) << qPrintable(b->objectName());
        vistas.push_back(imagen);
    }
    EXPECT_GE(vistas.size(), 2u);
}

TEST_F(Principal, RemembersItsSizeAndPlace)
{
    Global::TwipsPorPixelX = Global::TwipsPorPixelY = 15;
    {
        MainMDI v;
        v.show();
        v.setGeometry(60, 50, 900, 640);
        QApplication::processEvents();
        v.close();
    }
    const auto guardada = LeerPosicionVentana(QStringLiteral("MainMDI"));
    ASSERT_TRUE(guardada.has_value());
    EXPECT_EQ((*guardada)[2], 900 * 15);
    EXPECT_EQ((*guardada)[3], 640 * 15);
    MainMDI otra;
    EXPECT_EQ(otra.size(), QSize(900, 640));
}

}  // namespace
