#pragma once

// A platform service behind a seam: the real one, or a stand-in that a test
// puts in its place (nullptr brings the real one back). Message boxes, file
// dialogs, printing and the desktop's file opener all use it.

namespace orx::ui {

template <class Interface, class Real>
class Seam
{
public:
    static Interface& current()
    {
        static Real real;
        return standIn() ? *standIn() : real;
    }
    static void install(Interface* replacement) { standIn() = replacement; }

private:
    static Interface*& standIn()
    {
        static Interface* replacement = nullptr;
        return replacement;
    }
};

} // namespace orx::ui
