#include "ventanas.h"

#include "global.h"
#include "navegador.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

static int aTwipsX(int px) { return static_cast<int>(std::lround(px * Global::TwipsPorPixelX)); }
static int aTwipsY(int px) { return static_cast<int>(std::lround(px * Global::TwipsPorPixelY)); }
static int dePixelesX(int tw) { return static_cast<int>(std::lround(tw / Global::TwipsPorPixelX)); }
static int dePixelesY(int tw) { return static_cast<int>(std::lround(tw / Global::TwipsPorPixelY)); }

static QWidget* marco(QWidget* ventana)
{
    // An MDI child moves as its sub-window frame.
    QWidget* padre = ventana->parentWidget();
    return padre && padre->inherits("QMdiSubWindow") ? padre : ventana;
}

void RestaurarVentana(QWidget* ventana)
{
    QWidget* m = marco(ventana);
    const auto p = LeerPosicionVentana(ventana->objectName());
    const QRect r = p ? QRect(dePixelesX((*p)[0]), dePixelesY((*p)[1]), dePixelesX((*p)[2]), dePixelesY((*p)[3])) : QRect();
    // Without a stored place the area chooses one as the window shows.
    if (r.width() > 0 && r.height() > 0) {
        m->move(r.topLeft());
        m->resize(r.size());
    }
    // Never smaller than its controls need: a place stored with other fonts would cut them.
    m->resize(m->size().expandedTo(m->minimumSizeHint()));
    EncajarEnArea(m);
}

void EncajarEnArea(QWidget* m)
{
    auto* sub = qobject_cast<QMdiSubWindow*>(m);
    const QSize area = sub && sub->mdiArea() ? sub->mdiArea()->viewport()->size() : QSize();
    if (area.isEmpty() || QRect(QPoint(), area).contains(m->geometry()))
        return;
    const QSize tam = m->size().boundedTo(area).expandedTo(m->minimumSizeHint());
    m->resize(tam);
    m->move(std::clamp(m->x(), 0, std::max(0, area.width() - tam.width())),
            std::clamp(m->y(), 0, std::max(0, area.height() - tam.height())));
}

void GuardarVentana(QWidget* ventana)
{
    QWidget* m = marco(ventana);
    // A child left maximised is stored at the size it had before, as a window is: the area's
    // whole size would come back larger than a smaller main window. It is closing anyway.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(m); sub && sub->isVisible() && (sub->isMaximized() || sub->isMinimized()))
        sub->showNormal();
    // A maximised window keeps the place it will have when restored.
    const bool normal = m->isWindow() && (m->isMaximized() || m->isFullScreen()) && m->normalGeometry().isValid();
    const QRect r = normal ? m->normalGeometry() : m->geometry();
    const QPoint esquina = normal || !m->isWindow() ? r.topLeft() : m->frameGeometry().topLeft();
    GuardarPosicionVentana(ventana->objectName(),
                           {aTwipsX(esquina.x()), aTwipsY(esquina.y()), aTwipsX(r.width()), aTwipsY(r.height())});
}

QMessageBox::StandardButton MensajeSobreRejilla(QAbstractItemView* rejilla, const QString& texto,
                                                QMessageBox::StandardButtons botones, QMessageBox::Icon icono,
                                                const QString& titulo, QMessageBox::StandardButton porDefecto)
{
    // Where to click afterwards: mid-width, on the current row.
    QPoint punto;
    if (rejilla) {
        const int fila = rejilla->currentIndex().isValid() ? rejilla->currentIndex().row() : 0;
        const QRect celda = rejilla->visualRect(rejilla->model() ? rejilla->model()->index(fila, 0) : QModelIndex());
        punto = QPoint(rejilla->viewport()->width() / 2, celda.isValid() ? celda.center().y() : 1);
    }
    QMessageBox caja(icono, titulo, texto, botones, rejilla ? rejilla->window() : nullptr);
    if (porDefecto != QMessageBox::NoButton)
        caja.setDefaultButton(porDefecto);
    const auto respuesta = static_cast<QMessageBox::StandardButton>(caja.exec());
    if (rejilla && rejilla->isVisible()) {
        rejilla->setFocus(Qt::OtherFocusReason);
        QMouseEvent pulsar(QEvent::MouseButtonPress, punto, rejilla->viewport()->mapToGlobal(punto), Qt::LeftButton,
                           Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(rejilla->viewport(), &pulsar);
        QMouseEvent soltar(QEvent::MouseButtonRelease, punto, rejilla->viewport()->mapToGlobal(punto), Qt::LeftButton,
                           Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(rejilla->viewport(), &soltar);
    }
    return respuesta;
}

void AlinearALaDerecha(QWidget* control, int& x)
{
    x -= control->width();
    control->move(x, control->y());
}

QString ElegirCarpeta(QWidget* propietario, const QString& titulo, const QString& inicial)
{
    const QString r = QFileDialog::getExistingDirectory(propietario, titulo, inicial, QFileDialog::ShowDirsOnly);
    const qsizetype nul = r.indexOf(QChar(0));
    return nul >= 0 ? r.left(nul) : r;
}

void SeleccionarTexto(QLineEdit* campo)
{
    if (campo)
        campo->selectAll();
}

void MostrarVentana(QWidget* ventana)
{
    auto* sub = qobject_cast<QMdiSubWindow*>(ventana->parentWidget());
    if (!sub && !ventana->isWindow())
        return;
    if (!sub) {
        if (QMdiArea* area = AreaVentanas()) {
            sub = area->addSubWindow(ventana);
        } else {
            ventana->setAttribute(Qt::WA_DeleteOnClose);
        }
    }
    QWidget* m = marco(ventana);
    if (m->isMinimized())
        m->showNormal();
    else
        m->show();
    ventana->show();
    if (sub && sub->mdiArea())
        sub->mdiArea()->setActiveSubWindow(sub);
    else
        m->activateWindow();
    m->raise();
}

bool CerrarVentana(QWidget* ventana)
{
    return marco(ventana)->close();
}
