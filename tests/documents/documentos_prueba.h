#pragma once

#include "basedatos.h"
#include "entorno.h"
#include "formato.h"
#include "global.h"
#include "motormascaras.h"

#include <gtest/gtest.h>

#include <map>

// A KV740 demo database with the program's tables, working as group 1 (section 1, tariff 1,
// warehouse 1 when there are warehouses; VAT 10 % for departments 1 to 4, 4 % for 5, 6 and 9,
// 21 % for 7 and 8). Numbers print in Spanish.
class DocumentosDePrueba : public ::testing::Test {
protected:
    explicit DocumentosDePrueba(bool almacenes = true) : m_almacenes(almacenes) {}

    void SetUp() override
    {
        kv740::Opciones opciones;
        opciones.almacenes = m_almacenes;
        base = std::make_unique<BaseDePrueba>(opciones);
        bd = std::make_unique<BaseDatos>(base->ruta);
        ASSERT_TRUE(bd->Abierta());
        bd->CrearTablasNuevas();
        Global::Precio = 0;
        bd->DatosGrupo(1, Global::Seccion, Global::Tarifa, Global::Almacen, Global::IVADepartamento);
        for (size_t d = 1; d <= 10; ++d)
            Global::RecargoEquivalencia[d] = 0;
        Global::RecargoEquivalencia[7] = 5.2f;
        Global::RecargoEquivalencia[1] = 1.4f;
        FijarLocalNumeros(QLocale(QLocale::Spanish, QLocale::Spain));
    }
    void TearDown() override
    {
        bd.reset();
        Global::Reiniciar();
    }

    motor::BaseDeDatos& m() { return *bd->Motor(); }
    qint64 uno(const QString& sql) { return m().valorUnico(sql).aEntero(); }
    double numero(const QString& sql) { return m().valorUnico(sql).aNumero(); }

    void cliente(qint32 codigo, const QString& nombre, bool req = false, double descuento = 0)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO Cliente (Codigo, Nombre, NIF, Poblacion, UsaREq, Descuento) "
                                          "VALUES (?, ?, 'B46000006', 'VALENCIA', ?, ?)"),
                           {codigo, nombre, req, descuento});
    }
    // An article of section 1 with its price in cents at price level 0, tariff 1.
    void articulo(qint32 codigo, const QString& nombre, qint16 cada, qint16 depto, qint32 precio)
    {
        m().ejecutarNativo(QStringLiteral("INSERT INTO PLUSES (SECCION, CODPLU, NOMPLU, CADA, DEPTO, PRECIO_01, SALIDA) "
                                          "VALUES (1, ?, ?, ?, ?, ?, 0)"),
                           {codigo, nombre, cada, depto, precio});
    }
    // What the stock tables say was sold of an article: the warehouse's sales, or the catalogue's.
    qint64 vendido(qint32 articulo)
    {
        if (m_almacenes)
            return uno(QStringLiteral("select Venta from MovsAlm where CODALM=1 and Seccion=1 and Codigo=%1").arg(articulo));
        return uno(QStringLiteral("select SALIDA from PLUSES where SECCION=1 and CODPLU=%1").arg(articulo));
    }

    std::unique_ptr<BaseDePrueba> base;
    std::unique_ptr<BaseDatos> bd;
    bool m_almacenes;
};

// Records what a document asks of the mask engine. `saltoEn` lists the calls (counted from 1,
// page heads included) after which the engine starts a new page.
class GrabadoraMascaras : public MotorMascaras {
public:
    struct Llamada {
        qint16 seccion;
        int pagina;  // as passed in
        std::map<QString, QString> valores;
        QStringList marcas;  // in the order given
    };

    bool CargaMascaras(const QString& ruta, const QString&) override
    {
        archivo = ruta;
        return cargar;
    }
    void Imprimir(qint16 seccion, int& pagina, const ValoresMascara& valores) override
    {
        Llamada l{seccion, pagina, {}, {}};
        for (const ValorMascara& v : valores) {
            l.valores[v.marca.value_or(QString())] = v.valor.aTexto();
            l.marcas << v.marca.value_or(QString());
        }
        llamadas.push_back(l);
        if (std::find(saltoEn.begin(), saltoEn.end(), static_cast<int>(llamadas.size())) != saltoEn.end())
            ++pagina;
    }
    void ResetContador() override { reinicios.push_back(static_cast<int>(llamadas.size())); }
    void Cerrar() override { ++cierres; }
    void AlSaltoPagina(std::function<void(bool&)>) override {}

    std::vector<qint16> secciones() const
    {
        std::vector<qint16> s;
        for (const auto& l : llamadas)
            s.push_back(l.seccion);
        return s;
    }

    bool cargar = true;
    QString archivo;
    std::vector<int> saltoEn;
    std::vector<Llamada> llamadas;
    std::vector<int> reinicios;  // calls made before each reset
    int cierres = 0;
};
