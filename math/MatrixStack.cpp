#include "math/MatrixStack.h"

#include <cstddef>
#include <new>

CMatrixStack::CMatrixStack() : m_depth(0), m_capacity(0), m_current{}, m_saved(nullptr), m_dirty(1) {
    MatrixIdentity(&m_current);
}

CMatrixStack::~CMatrixStack() { delete[] m_saved; }

void CMatrixStack::Resize(int32_t capacity) {
    delete[] m_saved;
    m_saved = nullptr;
    m_depth = 0;
    m_capacity = capacity > 0 ? capacity : 0;
    if (m_capacity > 0) m_saved = new (std::nothrow) Matrix4[static_cast<size_t>(m_capacity)];
    MatrixIdentity(&m_current);
    m_dirty = 1;
}

bool CMatrixStack::PushMatrix() {
    // A stack without its array behaves as capacity 0: nothing is written through it.
    if (m_saved == nullptr || m_depth >= m_capacity - 1) return false;
    m_saved[m_depth] = m_current;
    ++m_depth;
    return true;
}

bool CMatrixStack::PopMatrix() {
    if (m_depth < 1 || m_saved == nullptr) return false;
    --m_depth;
    m_current = m_saved[m_depth];
    m_dirty = 1;
    return true;
}

void CMatrixStack::RotateX(float angle) {
    Matrix4 r;
    MatrixMultiply(&m_current, &m_current, MatrixRotationX(&r, angle));
    m_dirty = 1;
}

void CMatrixStack::RotateY(float angle) {
    Matrix4 r;
    MatrixMultiply(&m_current, &m_current, MatrixRotationY(&r, angle));
    m_dirty = 1;
}

void CMatrixStack::Translate(float x, float y, float z) {
    Matrix4 t;
    MatrixMultiply(&m_current, &m_current, MatrixTranslation(&t, x, y, z));
    m_dirty = 1;
}

Vector3 CMatrixStack::TransformDirection(float x, float y, float z) const {
    const float* m = m_current.m;
    return {x * m[0] + y * m[4] + z * m[8], x * m[1] + y * m[5] + z * m[9], x * m[2] + y * m[6] + z * m[10]};
}

Vector3 CMatrixStack::TransformPoint(float x, float y, float z) const {
    const float* m = m_current.m;
    return {x * m[0] + y * m[4] + z * m[8] + m[12], x * m[1] + y * m[5] + z * m[9] + m[13],
            x * m[2] + y * m[6] + z * m[10] + m[14]};
}

Vector3 CMatrixStack::ProjectPoint(const Vector3& p) const {
    const float* m = m_current.m;
    const Vector3 t = TransformPoint(p.x, p.y, p.z);
    const float w = p.x * m[3] + p.y * m[7] + p.z * m[11] + m[15];
    const float inv = 1.0f / w;
    return {t.x * inv, t.y * inv, t.z * inv};
}

Matrix4* CMatrixStack::GetMatrix(int32_t index) {
    return const_cast<Matrix4*>(static_cast<const CMatrixStack*>(this)->GetMatrix(index));
}

const Matrix4* CMatrixStack::GetMatrix(int32_t index) const {
    if (index <= 0) return &m_current;
    if (m_saved == nullptr || index > m_depth) return nullptr;
    return &m_saved[index - 1];
}
