#pragma once

// Posting a submission to the agency: HTTPS with the shop's certificate, through Qt's network
// and TLS. Tests put their own transport in its place.

#include <QByteArray>
#include <QString>

#include <atomic>

struct AjustesVerifactu;

namespace verifactu {

// Where and how to send. The environment's QUENZA_AEAT_URL, QUENZA_AEAT_CA and
// QUENZA_AEAT_CERT take the place of the settings, so that a stand-in can play the agency.
struct ConfiguracionEnvio {
    QString url;
    QString autoridad;    // PEM file of the authorities trusted for the service; the system's when empty
    QString certificado;  // the shop's PKCS#12 file
    QString clave;        // its password
    int esperaMs = 60000;  // how long an answer may take
};
ConfiguracionEnvio ConfiguracionDe(const AjustesVerifactu& ajustes);
// The service's address in the agency's test environment or in production.
QString UrlAgencia(bool pruebas);

// What came back from one post.
struct RespuestaHttp {
    bool llegada = false;  // an HTTP answer arrived (any status)
    int estado = 0;
    QByteArray cuerpo;
    QString motivo;  // Spanish, when nothing usable arrived
};

class Transporte {
public:
    virtual ~Transporte() = default;
    // Posts the envelope and waits for the answer (or the configured time).
    virtual RespuestaHttp Enviar(const QByteArray& sobre) = 0;
};

// The real one. Build and use it in one thread: it waits in a local event loop.
class TransporteHttps : public Transporte {
public:
    explicit TransporteHttps(ConfiguracionEnvio configuracion);
    RespuestaHttp Enviar(const QByteArray& sobre) override;
    // While `*cancelar` is true (set from any thread) an exchange under way ends at once.
    void CancelarCon(const std::atomic<bool>* cancelar) { m_cancelar = cancelar; }

private:
    ConfiguracionEnvio m_conf;
    const std::atomic<bool>* m_cancelar = nullptr;
};

}  // namespace verifactu
