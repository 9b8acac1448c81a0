#pragma once

// What the store keeps about sending the invoice records to the tax agency: each record's
// answer, and the one claim that lets a single station of the shop send.

#include "registrofacturacion.h"

#include <QByteArray>
#include <QString>

namespace verifactu {

// A record waiting to be sent, in chain order.
struct Pendiente {
    qint64 orden = 0;
    TipoRegistro tipo = TipoRegistro::Alta;
    QString IDEmisorFactura;
    QString NumSerieFactura;
    QString FechaExpedicionFactura;
    QByteArray xml;
    // A failure of the network or the agency has already delayed it: it goes with Incidencia.
    bool incidencia = false;
};

// The agency's answer about one record.
struct RespuestaRegistro {
    qint64 orden = 0;
    QString estado;  // Correcto, AceptadoConErrores or Incorrecto
    QString codigo;
    QString descripcion;
    QString csv;
    QString momento;  // when the agency answered, as it says it
};

// The shop's sending, shared by every station.
struct EstadoEnvios {
    qint64 pendientes = 0;
    qint64 conErrores = 0;   // accepted with errors, not yet corrected
    qint64 rechazados = 0;   // rejected, not yet corrected
    QString titular;         // the station sending, empty when none
    qint64 renovado = 0;     // when it last said it is alive, seconds since the epoch
    qint64 ultimoEnvio = 0;  // when the last submission went, milliseconds since the epoch
    int tiempoEspera = 60;   // seconds the agency asks between submissions
    QString motivo;          // why the last attempt failed, in Spanish; empty after a success
};

// One record as the records window lists it: no breakdown, no XML.
struct FilaRegistro {
    qint64 orden = 0;
    bool anulacion = false;
    bool subsanacion = false;  // a correction of an earlier record of the invoice
    QString NumSerieFactura;
    QString FechaExpedicionFactura;
    QString TipoFactura;
    QString FechaHoraHusoGenRegistro;
    qint64 importeTotal = 0;  // cents; 0 for an annulment
    QString estado;
    QString codigo;
    QString descripcion;
    QString csv;
    bool subsanado = false;
    bool incidencia = false;
};

}  // namespace verifactu
