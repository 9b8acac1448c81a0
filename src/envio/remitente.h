#pragma once

// The sender of the invoice records: takes the pending records in chain order, up to the
// agency's 1,000 per submission, posts them, stores each record's answer, and keeps the
// agency's pace. One station of the shop sends at a time (a claim in the database). Nothing is
// lost and nothing goes twice as new: a record leaves "Pendiente" only with the agency's answer.

#include "transporte.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class BaseDatos;

namespace verifactu {

class Remitente {
public:
    enum class Resultado {
        NadaPendiente,  // nothing to send
        Esperando,      // the agency's wait between submissions is not over (see proximo)
        OtroPuesto,     // another station is sending
        Enviado,        // a submission went and its answer is stored
        Fallo,          // nothing usable came back: the records stay pending (see motivo)
    };
    struct Paso {
        Resultado resultado = Resultado::NadaPendiente;
        QString motivo;      // Spanish: why it failed, or what the agency said of the whole submission
        QDateTime proximo;   // when the next submission may go
        int enviados = 0;
        int correctos = 0;
        int conErrores = 0;
        int incorrectos = 0;
        QStringList lineas;  // one per record with errors: the invoice, the agency's code and text
    };

    static constexpr int kMaximoPorEnvio = 1000;
    // A station that has not sent for this long loses the claim (it renews it at each submission,
    // a minute or so apart while there is anything to send).
    static constexpr int kCaducidadSegundos = 300;

    // `puesto` names this station (and process) in the claim.
    Remitente(BaseDatos& bd, Transporte& transporte, QString puesto);

    // The clock; tests give their own so that the agency's waits pass without real minutes.
    std::function<QDateTime()> reloj = [] { return QDateTime::currentDateTime(); };

    // Sends one submission when it is this station's turn and the pace allows it. Never throws:
    // a failure of the database is a Fallo too.
    Paso Enviar();
    // Gives the claim up (the program is closing).
    void Soltar();

    // This station's name for the claim: the computer's name and the process.
    static QString PuestoActual();

private:
    Paso EnviarLote();
    // `titular` when it names a process of this computer that has ended; empty otherwise.
    static QString Caido(const QString& titular);

    BaseDatos& m_bd;
    Transporte& m_transporte;
    QString m_puesto;
};

}  // namespace verifactu
