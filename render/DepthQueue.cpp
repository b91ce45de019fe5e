#include "render/DepthQueue.h"

#include <cmath>
#include <cstddef>

CDepthQueue::CDepthQueue() : m_buckets(nullptr), m_bucketCount(0), m_cursorBucket(0), m_cursorNode(nullptr) {}

CDepthQueue::~CDepthQueue() = default;

bool CDepthQueue::Setup(CBytePool* pool, int32_t count) {
    m_buckets = nullptr;
    m_bucketCount = 0;
    m_cursorBucket = 0;
    m_cursorNode = nullptr;
    constexpr int32_t kMaxBuckets = INT32_MAX / static_cast<int32_t>(sizeof(QueueNode*));
    if (pool == nullptr || count <= 0 || count > kMaxBuckets) return false;
    void* memory = pool->Alloc(count * static_cast<int32_t>(sizeof(QueueNode*)));
    if (memory == nullptr) return false;
    m_buckets = static_cast<QueueNode**>(memory);
    for (int32_t i = 0; i < count; ++i) m_buckets[i] = nullptr;
    m_bucketCount = count;
    return true;
}

bool CDepthQueue::InsertAtDepth(CBytePool* pool, float depth, QueuedPrimitive* record) {
    // Clamp in floating point first: a depth far outside 0..1, infinite or NaN must not reach
    // the conversion to int. NaN (a degenerate projection) counts as nearest.
    const float raw = static_cast<float>(m_bucketCount) * (1.0f - depth);
    int32_t bucket;
    if (std::isnan(raw) || raw >= static_cast<float>(m_bucketCount)) {
        bucket = m_bucketCount - 1;
    } else if (raw < 0.0f) {
        bucket = 0;
    } else {
        bucket = static_cast<int32_t>(raw);
    }
    return Insert(pool, bucket, record);
}

bool CDepthQueue::Insert(CBytePool* pool, int32_t bucket, QueuedPrimitive* record) {
    if (m_buckets == nullptr || m_bucketCount <= 0 || pool == nullptr || record == nullptr) return false;
    if (bucket < 0) bucket = 0;
    if (bucket >= m_bucketCount) bucket = m_bucketCount - 1;
    auto* node = static_cast<QueueNode*>(pool->Alloc(static_cast<int32_t>(sizeof(QueueNode))));
    if (node == nullptr) return false;
    node->next = m_buckets[bucket];
    node->primitive = record;
    m_buckets[bucket] = node;
    return true;
}

void CDepthQueue::Advance() {
    m_cursorNode = nullptr;
    if (m_buckets == nullptr) return;
    while (m_cursorBucket < m_bucketCount) {
        QueueNode* head = m_buckets[m_cursorBucket];
        ++m_cursorBucket;
        if (head != nullptr) {
            m_cursorNode = head;
            return;
        }
    }
}

void CDepthQueue::Rewind() {
    m_cursorBucket = 0;
    Advance();
}

QueuedPrimitive* CDepthQueue::Next() {
    if (m_cursorNode == nullptr) {
        Advance();
        if (m_cursorNode == nullptr) return nullptr;
    }
    QueueNode* node = m_cursorNode;
    if (node->next != nullptr) {
        m_cursorNode = node->next;
    } else {
        Advance();
    }
    return node->primitive;
}
