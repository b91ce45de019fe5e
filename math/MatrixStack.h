// A current matrix, a bounded stack of saved matrices and a dirty flag that says whether the
// current matrix may differ from what the device last received.
#pragma once

#include "math/Matrix4.h"

#include <cstdint>

class CMatrixStack {
public:
    CMatrixStack();
    virtual ~CMatrixStack();
    CMatrixStack(const CMatrixStack&) = delete;
    CMatrixStack& operator=(const CMatrixStack&) = delete;

    // Depth 0, `capacity` slots, identity, dirty. If the array cannot be allocated the stack
    // keeps none and refuses every push.
    void Resize(int32_t capacity);

    // Saves the current matrix; refused (false) once capacity - 1 matrices are saved.
    bool PushMatrix();
    // Restores the last saved matrix and sets dirty; refused (false) at depth 0.
    bool PopMatrix();

    // Each puts the new transform in front of the current one (it acts on points first).
    void RotateX(float angle);
    void RotateY(float angle);
    void Translate(float x, float y, float z);

    // (x, y, z, 0) x current: the upper-left 3 x 3 only.
    Vector3 TransformDirection(float x, float y, float z) const;
    // (x, y, z, 1) x current, first three components, no division by w.
    Vector3 TransformPoint(float x, float y, float z) const;
    // (x, y, z, 1) x current, divided by w.
    Vector3 ProjectPoint(const Vector3& p) const;

    // 0 or below: the current matrix; i > 0: saved entry i - 1 (null when not saved).
    Matrix4* GetMatrix(int32_t index);
    const Matrix4* GetMatrix(int32_t index) const;

    bool IsDirty() const { return m_dirty != 0; }
    void SetDirty(bool dirty) { m_dirty = dirty ? 1 : 0; }

    int32_t Depth() const { return m_depth; }
    int32_t Capacity() const { return m_capacity; }

    int32_t m_depth;
    int32_t m_capacity;
    Matrix4 m_current;
    Matrix4* m_saved;
    uint8_t m_dirty;
};
