#pragma once

// The agency's web service as SOAP 1.1: the submission's envelope around
// RegFactuSistemaFacturacion, and the reading of its answer.

#include <QByteArray>
#include <QString>

#include <vector>

namespace verifactu {

// The SOAP envelope with the records (the stored XML of each, in order) for the issuer; empty
// when a stored XML cannot be read.
QByteArray SobreEnvio(const QString& nif, const QString& nombre, const std::vector<QByteArray>& xmls, bool incidencia);

// One RespuestaLinea: the record it speaks of and what the agency made of it.
struct LineaRespuesta {
    QString IDEmisorFactura;
    QString NumSerieFactura;
    QString FechaExpedicionFactura;
    QString TipoOperacion;  // Alta or Anulacion
    QString EstadoRegistro;  // Correcto, AceptadoConErrores or Incorrecto
    QString CodigoErrorRegistro;
    QString DescripcionErrorRegistro;
    // When rejected as a duplicate: the state the agency already holds (Correcta,
    // AceptadaConErrores, Anulada).
    QString EstadoRegistroDuplicado;
};

struct RespuestaAgencia {
    enum class Tipo { Respuesta, FaltaCliente, FaltaServidor };
    Tipo tipo = Tipo::Respuesta;
    QString EstadoEnvio;  // Correcto, ParcialmenteCorrecto or Incorrecto
    QString CSV;
    QString TimestampPresentacion;
    int TiempoEsperaEnvio = -1;  // -1 when the answer does not say
    std::vector<LineaRespuesta> lineas;
    QString falta;  // the fault's faultstring
};

// Reads the body of an answer: a RespuestaRegFactuSistemaFacturacion or a SOAP Fault. False
// with the reason (Spanish) when it is neither or it is not complete.
bool LeerRespuesta(const QByteArray& cuerpo, RespuestaAgencia& respuesta, QString& motivo);

}  // namespace verifactu
