#pragma once

// The program's sending in the background: a thread of its own, with its own connection to the
// database, sends whatever is pending while the shop works, at the agency's pace. Windows never
// wait for it; they read the state from the database (every station shows it, sending or not).

#include "transporte.h"

#include <QMutex>
#include <QObject>
#include <QThread>
#include <QWaitCondition>

#include <atomic>

namespace verifactu {

struct EstadoEnvios;

// The station's small warning: the records not yet accepted and why, in Spanish; empty when
// there is nothing to say. `sinClave`: this session has not been given the certificate's
// password yet.
QString AvisoEnvios(const EstadoEnvios& estado, bool sinCertificado, bool sinClave);

class EnvioAutomatico : public QObject {
    Q_OBJECT
public:
    EnvioAutomatico(QString rutaBaseDatos, ConfiguracionEnvio configuracion, QObject* padre = nullptr);
    // Stops the thread (an exchange under way is cut short: the records stay pending) and gives
    // the claim up.
    ~EnvioAutomatico() override;

    void Empezar();
    // The certificate's password for this session (kept in memory only); sending starts.
    void FijarClave(const QString& clave);
    bool TieneClave() const;
    // Try again now (new records, a new password); the agency's pace still holds.
    void Despertar();

signals:
    // After each attempt, from the sending thread.
    void Intentado();

private:
    void Trabajar();

    QString m_ruta;
    ConfiguracionEnvio m_conf;
    mutable QMutex m_mutex;
    QWaitCondition m_aviso;
    bool m_parar = false;
    std::atomic<bool> m_cancelar = false;  // read by the exchange under way
    bool m_despierto = false;
    QThread* m_hilo = nullptr;
};

}  // namespace verifactu
