#include "uisr.h"

namespace uisr {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

struct Caption
{
    int code;
    const char* text;
};

// Transport and mode keys (1 to 23) and the jog and memory keys (128 to 143).
constexpr Caption kCaptions[] = {
    {1, "[]"},      {2, "||"},      {3, ">"},     {4, "<"},      {5, ">>"},    {6, "<<"},
    {11, "Goto"},   {18, "On"},     {19, "Off"},  {20, "Rhs"},   {21, "Auto"}, {22, "Man"},
    {23, "Rvw"},    {128, "-"},     {129, "+"},   {130, "||<"},  {131, "|<"},  {132, ">|"},
    {133, "M. In"}, {134, "M.Out"}, {135, ">||"}, {136, "Loop"}, {137, "10>"}, {138, "<10"},
    {142, "^"},     {143, "v"},
};

} // namespace

void appendHex(QString& out, std::uint8_t b)
{
    out.append(QLatin1Char(kHexDigits[b >> 4]));
    out.append(QLatin1Char(kHexDigits[b & 0x0F]));
}

QString byte2hex(std::uint8_t b)
{
    QString text;
    text.reserve(2);
    appendHex(text, b);
    return text;
}

QString cmd2caption(int code)
{
    for (const Caption& caption : kCaptions) {
        if (caption.code == code)
            return QString::fromLatin1(caption.text);
    }
    return QStringLiteral("???");
}

} // namespace uisr
