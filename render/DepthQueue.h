// The depth queue of translucent primitives: buckets from far (0) to near, each a list from the
// most recently filed primitive to the earliest. It owns no memory: the bucket array, the nodes
// and the records come from the frame's pools.
#pragma once

#include "render/BytePool.h"
#include "render/TextureSlot.h"

#include <cstdint>

struct D3DLVERTEX;

struct QueuedPrimitive {
    int32_t primitiveType;  // D3DPRIMITIVETYPE
    int32_t textureIndex;   // -1 = untextured
    const TextureStateBlock* textureState;  // recorded at Begin, or null
    int32_t vertexCount;
    int32_t reserved;
    D3DLVERTEX* vertices;
};

struct QueueNode {
    QueueNode* next;
    QueuedPrimitive* primitive;
};

class CDepthQueue {
public:
    CDepthQueue();
    virtual ~CDepthQueue();
    CDepthQueue(const CDepthQueue&) = delete;
    CDepthQueue& operator=(const CDepthQueue&) = delete;

    // Takes `count` empty buckets from `pool`. False (and no buckets) when the count is not
    // positive or the pool has no room.
    bool Setup(CBytePool* pool, int32_t count);
    // depth 0 = near plane, 1 = far plane; the bucket is count x (1 - depth), clamped.
    // A NaN depth files into the nearest bucket.
    bool InsertAtDepth(CBytePool* pool, float depth, QueuedPrimitive* record);
    // False, and the record is not linked, when the queue has no buckets or the pool no room
    // for a node.
    bool Insert(CBytePool* pool, int32_t bucket, QueuedPrimitive* record);

    void Rewind();
    QueuedPrimitive* Next();

    QueueNode** m_buckets;
    int32_t m_bucketCount;
    int32_t m_cursorBucket;
    QueueNode* m_cursorNode;

private:
    void Advance();
};
