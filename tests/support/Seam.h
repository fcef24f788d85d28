// Puts a fake in one replaceable call (an entry of kfw::g_linked or of an optional-function
// list, or one of the program's own seams) for the life of the object, then the old one back.
#pragma once

#include <utility>

namespace kovatest {

template <class T>
struct SeamValue {
    using Type = T;
};

template <class T>
class CSeam {
public:
    // The value is not deduced from: a fake of another spelling, or null, converts.
    CSeam(T& rSeam, typename SeamValue<T>::Type value) : m_rSeam(rSeam), m_saved(std::exchange(rSeam, value)) {}
    // Leaves the call as it is, and puts it back at the end: for a test that sets it often.
    explicit CSeam(T& rSeam) : m_rSeam(rSeam), m_saved(rSeam) {}
    ~CSeam() { m_rSeam = m_saved; }
    CSeam(const CSeam&) = delete;
    CSeam& operator=(const CSeam&) = delete;

    // What the fake stood in for: the real call, for a fake that passes calls on.
    T Saved() const { return m_saved; }

private:
    T& m_rSeam;
    T m_saved;
};

} // namespace kovatest
