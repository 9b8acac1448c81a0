// The shop's own data: one row of the program's table "Comercio".

#include "basedatos.h"

namespace {

// The columns in the order of DatosComercio.
const char* const kColumnas[] = {"Nombre", "NIF", "Direccion", "CodPostal", "Poblacion", "Provincia", "Telefono"};

QString* Campo(DatosComercio& d, int i)
{
    QString* campos[] = {&d.Nombre, &d.NIF, &d.Direccion, &d.CodPostal, &d.Poblacion, &d.Provincia, &d.Telefono};
    return campos[i];
}

}  // namespace

DatosComercio BaseDatos::LeerComercio()
{
    DatosComercio d;
    if (!Abierta() || !m_bd->existeTabla(QStringLiteral("Comercio")))
        return d;
    motor::BaseDeDatos::Sentencia& s = m_bd->preparar(
        QStringLiteral("SELECT Nombre, NIF, Direccion, CodPostal, Poblacion, Provincia, Telefono FROM Comercio WHERE Codigo=1"));
    s.vincular({});
    if (s.paso())
        for (int i = 0; i < 7; ++i)
            *Campo(d, i) = s.columna(i).esNulo() ? QString() : s.columna(i).aTexto();
    s.reiniciar();
    return d;
}

void BaseDatos::GuardarComercio(const DatosComercio& datos)
{
    if (!Abierta())
        return;
    DatosComercio d = datos;
    std::vector<Valor> valores;
    QStringList columnas, marcas;
    for (int i = 0; i < 7; ++i) {
        if (Campo(d, i)->contains(QChar(0)))
            throw motor::Error(motor::ErrReglaValidacion, 0, QStringLiteral("Los datos del comercio no pueden llevar el carácter nulo."));
        columnas << QLatin1String(kColumnas[i]);
        marcas << QStringLiteral("?");
        valores.push_back(Valor(Campo(d, i)->trimmed()));
    }
    // One statement: a station reading meanwhile sees the old data or the new, never a mix.
    QStringList asignaciones;
    for (const QString& c : columnas)
        asignaciones << c + QStringLiteral(" = excluded.") + c;
    m_bd->ejecutarNativo(QStringLiteral("INSERT INTO Comercio (Codigo, %1) VALUES (1, %2) ON CONFLICT (Codigo) DO UPDATE SET %3")
                             .arg(columnas.join(QStringLiteral(", ")), marcas.join(QStringLiteral(", ")),
                                  asignaciones.join(QStringLiteral(", "))),
                         valores);
}
