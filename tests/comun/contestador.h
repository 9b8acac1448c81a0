#pragma once

// Answers the modal windows a test's action opens, in the order they open, and keeps what the
// message boxes said. Each queued answer serves the next modal window: a button for a message
// box, any action for a dialog. With the queue empty a message box gets `siempre` when it is
// set; otherwise the window was not expected: the test fails and the window is closed.

#include "entorno.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLayout>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

class Contestador : public QObject {
public:
    explicit Contestador(std::optional<QMessageBox::StandardButton> siempre_ = std::nullopt) : siempre(siempre_)
    {
        // Often made with its fixture, before SetUp: its timer needs the application first.
        AplicacionDePrueba();
        m_reloj.setInterval(5);
        connect(&m_reloj, &QTimer::timeout, this, &Contestador::Mirar);
        m_reloj.start();
    }

    // The next message box gets `boton` (its first button when it has no such one; Enter for
    // NoButton).
    void Responder(QMessageBox::StandardButton boton)
    {
        Hacer([boton](QWidget* w) {
            auto* caja = qobject_cast<QMessageBox*>(w);
            ASSERT_TRUE(caja) << "expected a message box, got " << w->metaObject()->className();
            Pulsar(*caja, boton);
        });
    }
    // The next message box gets the Enter key: whatever the box takes as its default answer.
    void Enter() { Responder(QMessageBox::NoButton); }
    void Ok() { Responder(QMessageBox::Ok); }
    void Cancelar() { Responder(QMessageBox::Cancel); }
    // The next modal window gets `accion`.
    void Hacer(std::function<void(QWidget*)> accion) { m_acciones.push_back(std::move(accion)); }
    // The next dialog gets `accion` once it is laid out.
    void AlDialogo(std::function<void(QDialog*)> accion)
    {
        Hacer([accion = std::move(accion)](QWidget* w) {
            auto* d = qobject_cast<QDialog*>(w);
            ASSERT_TRUE(d) << "expected a dialog, got " << w->metaObject()->className();
            if (d->layout())
                d->layout()->activate();
            accion(d);
        });
    }

    bool Pendiente() const { return !m_acciones.empty(); }
    // Lets the events run until every queued answer is used and no modal window is left (at
    // most `ms`); a message raised after a key (deferred) appears and is answered meanwhile.
    bool Esperar(int ms = 3000)
    {
        QElapsedTimer t;
        t.start();
        do {
            QTest::qWait(5);
        } while ((Pendiente() || QApplication::activeModalWidget()) && t.elapsed() < ms);
        QTest::qWait(5);
        return !Pendiente() && !QApplication::activeModalWidget();
    }
    void Olvidar()
    {
        textos.clear();
        iconos.clear();
    }

    // What the message boxes said, and their icons, in order.
    QStringList textos;
    std::vector<QMessageBox::Icon> iconos;
    std::optional<QMessageBox::StandardButton> siempre;

private:
    static void Pulsar(QMessageBox& caja, QMessageBox::StandardButton boton)
    {
        if (boton == QMessageBox::NoButton) {
            QTest::keyClick(&caja, Qt::Key_Return);
            return;
        }
        QAbstractButton* b = caja.button(boton);
        (b ? b : caja.buttons().value(0))->click();
    }

    void Mirar()
    {
        QWidget* w = QApplication::activeModalWidget();
        // A progress dialog is never answered: it goes when its work ends.
        if (!w || !w->isVisible() || w == m_ultimo || qobject_cast<QProgressDialog*>(w))
            return;
        m_ultimo = w;
        // The same dialog may be run again: once it ends it is a new window to answer.
        if (auto* d = qobject_cast<QDialog*>(w))
            connect(d, &QDialog::finished, this, [this, d] {
                if (m_ultimo == d)
                    m_ultimo = nullptr;
            });
        auto* caja = qobject_cast<QMessageBox*>(w);
        if (caja) {
            textos << caja->text();
            iconos.push_back(caja->icon());
        }
        if (m_acciones.empty()) {
            if (caja && siempre) {
                Pulsar(*caja, *siempre);
                return;
            }
            ADD_FAILURE() << "unexpected " << w->metaObject()->className() << " "
                          << (caja ? caja->text() : w->windowTitle()).toStdString();
            QMetaObject::invokeMethod(w, "reject", Qt::QueuedConnection);
            return;
        }
        auto accion = std::move(m_acciones.front());
        m_acciones.pop_front();
        accion(w);
    }

    QTimer m_reloj;
    QPointer<QWidget> m_ultimo;
    std::deque<std::function<void(QWidget*)>> m_acciones;
};

// Runs `accion`, answering every message box it opens with `boton`; says what they said.
struct Dicho {
    QStringList textos;
    std::vector<QMessageBox::Icon> iconos;
};
inline Dicho Al(QMessageBox::StandardButton boton, const std::function<void()>& accion)
{
    Contestador c(boton);
    accion();
    QApplication::processEvents();
    return {c.textos, c.iconos};
}
