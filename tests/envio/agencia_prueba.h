#pragma once

// The stand-in agency (agencia.py) with its own test certificate authority, made with openssl in
// a temporary folder: the service's certificate, the shop's (PKCS#12, password "clave") and one
// from another authority.

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

class AgenciaDePrueba {
public:
    // Empty when it could not be made: the reason, for GTEST_SKIP.
    QString Arrancar()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xmllint")).isEmpty())
            return QStringLiteral("openssl, python3 and xmllint are needed");
        // Without the agency's schemas the stand-in still answers; it only cannot validate.
        const QString esquemas = QFile::exists(QStringLiteral(QUENZA_ESQUEMAS_VERIFACTU "/SuministroLR.xsd"))
            ? QStringLiteral(QUENZA_ESQUEMAS_VERIFACTU)
            : QString();
        const QString ext = ruta(QStringLiteral("ext.cnf"));
        QFile f(ext);
        f.open(QIODevice::WriteOnly);
        f.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n");
        f.close();
        const bool hecho =
            Autoridad(QStringLiteral("ca")) && Autoridad(QStringLiteral("otra")) &&
            Firmado(QStringLiteral("servidor"), QStringLiteral("/CN=localhost"), QStringLiteral("ca"), {QStringLiteral("-extfile"), ext}) &&
            Firmado(QStringLiteral("cliente"), QStringLiteral("/CN=CARNES QUENZA SL/serialNumber=B12345674"), QStringLiteral("ca")) &&
            Firmado(QStringLiteral("intruso"), QStringLiteral("/CN=OTRO"), QStringLiteral("otra")) && P12(QStringLiteral("cliente")) &&
            P12(QStringLiteral("intruso"));
        if (!hecho)
            return QStringLiteral("openssl could not make the test certificates: ") + m_error;
        Control({});
        m_servicio.setProgram(QStringLiteral("python3"));
        m_servicio.setArguments({QStringLiteral(QUENZA_AGENCIA_PRUEBA), QStringLiteral("--cert"), ruta(QStringLiteral("servidor.pem")),
                                 QStringLiteral("--key"), ruta(QStringLiteral("servidor.key")), QStringLiteral("--ca"),
                                 ruta(QStringLiteral("ca.pem")), QStringLiteral("--esquemas"), esquemas,
                                 QStringLiteral("--control"), ruta(QStringLiteral("control.json")), QStringLiteral("--diario"),
                                 ruta(QStringLiteral("diario.jsonl"))});
        m_servicio.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_servicio.start();
        if (!m_servicio.waitForStarted(10000) || !m_servicio.waitForReadyRead(20000))
            return QStringLiteral("the stand-in agency did not start");
        m_puerto = m_servicio.readLine().trimmed().toInt();
        return m_puerto > 0 ? QString() : QStringLiteral("the stand-in agency gave no port");
    }
    ~AgenciaDePrueba()
    {
        m_servicio.kill();
        m_servicio.waitForFinished(5000);
    }

    QString ruta(const QString& nombre) const { return m_dir.filePath(nombre); }
    QString url() const { return QStringLiteral("https://127.0.0.1:%1/wlpl/TIKE-CONT/ws/SistemaFacturacion/VerifactuSOAP").arg(m_puerto); }

    // What the stand-in does from the next request on (see agencia.py), in the current session.
    void Control(QJsonObject control)
    {
        control[QStringLiteral("sesion")] = m_sesion;
        QFile f(ruta(QStringLiteral("control.json.tmp")));
        f.open(QIODevice::WriteOnly);
        f.write(QJsonDocument(control).toJson());
        f.close();
        QFile::remove(ruta(QStringLiteral("control.json")));
        QFile::rename(ruta(QStringLiteral("control.json.tmp")), ruta(QStringLiteral("control.json")));
    }
    // A new shop for the agency: nothing registered, a journal of its own.
    void NuevaSesion(const QJsonObject& control = {})
    {
        ++m_sesion;
        Control(control);
    }
    // The current session's journal entries that have `clave`.
    std::vector<QJsonObject> Diario(const QString& clave) const
    {
        std::vector<QJsonObject> r;
        QFile f(ruta(QStringLiteral("diario.jsonl")));
        if (!f.open(QIODevice::ReadOnly))
            return r;
        while (!f.atEnd()) {
            const QJsonObject o = QJsonDocument::fromJson(f.readLine()).object();
            if (o.contains(clave) && o.value(QStringLiteral("sesion")).toInt() == m_sesion)
                r.push_back(o);
        }
        return r;
    }

private:
    bool Openssl(const QStringList& argumentos)
    {
        QProcess p;
        p.setWorkingDirectory(m_dir.path());
        p.start(QStringLiteral("openssl"), argumentos);
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            m_error = QString::fromUtf8(p.readAllStandardError());
            return false;
        }
        return true;
    }
    // Arguments written as one line: %1 and %2 are the names given (without spaces).
    static QStringList Argumentos(const char* linea, const QString& a, const QString& b = {})
    {
        return QString::fromLatin1(linea).replace(QStringLiteral("%1"), a).replace(QStringLiteral("%2"), b).split(QLatin1Char(' '));
    }
    bool Autoridad(const QString& n)
    {
        return Openssl(Argumentos("req -x509 -newkey rsa:2048 -nodes -keyout %1.key -out %1.pem -days 30 -subj", n)
                       << QStringLiteral("/CN=Autoridad ") + n);
    }
    bool Firmado(const QString& n, const QString& sujeto, const QString& autoridad, const QStringList& mas = {})
    {
        return Openssl(Argumentos("req -newkey rsa:2048 -nodes -keyout %1.key -out %1.csr -subj", n) << sujeto) &&
               Openssl(Argumentos("x509 -req -in %1.csr -CA %2.pem -CAkey %2.key -CAcreateserial -out %1.pem -days 30", n, autoridad)
                       + mas);
    }
    bool P12(const QString& n) { return Openssl(Argumentos("pkcs12 -export -inkey %1.key -in %1.pem -out %1.p12 -passout pass:clave", n)); }

    QTemporaryDir m_dir;
    QProcess m_servicio;
    int m_puerto = 0;
    int m_sesion = 0;
    QString m_error;
};
