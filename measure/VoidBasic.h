#pragma once

// Polymorphic root of the measurement window's small containers, so that any of
// them can be released through a pointer to this base.
class VoidBasic
{
public:
    virtual ~VoidBasic() = default;

protected:
    VoidBasic() = default;
    VoidBasic(const VoidBasic &) = default;
    VoidBasic &operator=(const VoidBasic &) = default;
};
