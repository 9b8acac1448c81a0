#pragma once

// The print hooks of one test, put back as they were when it ends: each run of the engine is
// recorded (the mask it loaded, then the values it printed), the copies dialog answers `copias`,
// listings are kept instead of run, and the system's one printer, "PDF", is the current one.

#include "impresion.h"
#include "impresoraactual.h"
#include "listado.h"
#include "mnuimp.h"
#include "motormascaras.h"

#include <QFile>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

struct ImpresionDePrueba {
    explicit ImpresionDePrueba(std::optional<int> copiasPedidas = 1) : copias(copiasPedidas)
    {
        m_fabrica = FijarFabricaMotor([this] { return std::make_unique<Motor>(*this); });
        m_dialogo = FijarDialogoCopias([this](QWidget*) { return copias; });
        m_ejecutor = FijarEjecutorListado([this](Listado& l, QWidget*) { listados.push_back(l); });
        m_fuente = FijarFuenteImpresoras([] { return ImpresorasSistema{{QStringLiteral("PDF")}, QStringLiteral("PDF")}; });
        FijarImpresoraActual(QStringLiteral("PDF"));
    }
    ~ImpresionDePrueba()
    {
        FijarFabricaMotor(m_fabrica);
        FijarDialogoCopias(m_dialogo);
        FijarEjecutorListado(m_ejecutor);
        FijarFuenteImpresoras(m_fuente);
        FijarImpresoraActual(QString());
    }
    ImpresionDePrueba(const ImpresionDePrueba&) = delete;
    ImpresionDePrueba& operator=(const ImpresionDePrueba&) = delete;

    std::optional<int> copias;
    int cargas = 0;                      // masks the engine was asked to load
    std::vector<QStringList> impresos;   // one per finished run
    std::vector<Listado> listados;

private:
    class Motor : public MotorMascaras {
    public:
        explicit Motor(ImpresionDePrueba& i) : m_i(i) {}
        bool CargaMascaras(const QString& ruta, const QString&) override
        {
            ++m_i.cargas;
            m_actual << ruta;
            return QFile::exists(ruta);
        }
        void Imprimir(qint16, int&, const ValoresMascara& valores) override
        {
            for (const ValorMascara& v : valores)
                m_actual << v.valor.aTexto();
        }
        void ResetContador() override {}
        void Cerrar() override { m_i.impresos.push_back(m_actual); }
        void AlSaltoPagina(std::function<void(bool&)>) override {}

    private:
        ImpresionDePrueba& m_i;
        QStringList m_actual;
    };
    FabricaMotor m_fabrica;
    DialogoCopias m_dialogo;
    EjecutorListado m_ejecutor;
    FuenteImpresoras m_fuente;
};
