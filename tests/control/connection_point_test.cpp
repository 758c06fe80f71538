// The control's connection point for _ISSOLoginCtrlEvents and its enumerators.
#include <map>
#include <random>
#include <vector>

#include "tests/control/control_fixture.h"

namespace corvo::test {
namespace {

// An event sink that counts its references.
class FakeSink final : public IUnknown {
  public:
    explicit FakeSink(bool answers_events = true) : answers_events_(answers_events) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (riid == IID_IUnknown || (answers_events_ && riid == DIID__ISSOLoginCtrlEvents)) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }  // lives on the test's stack
    ULONG refs = 0;

  private:
    bool answers_events_;
};

ComPtr<IConnectionPoint> EventsPoint(ISSOLoginCtrl* ctrl) {
    auto container = Query<IConnectionPointContainer>(ctrl, IID_IConnectionPointContainer);
    ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(DIID__ISSOLoginCtrlEvents, point.Out()), S_OK);
    return point;
}

std::vector<CONNECTDATA> Connections(IConnectionPoint* point) {
    ComPtr<IEnumConnections> e;
    EXPECT_EQ(point->EnumConnections(e.Out()), S_OK);
    std::vector<CONNECTDATA> all;
    CONNECTDATA one;
    while (e->Next(1, &one, nullptr) == S_OK) {
        one.pUnk->Release();
        all.push_back(one);
    }
    return all;
}

using ConnectionPoint = ControlTest;

TEST_F(ConnectionPoint, ContainerFindsOnlyTheEventInterface) {
    auto ctrl = NewControl();
    auto container = Query<IConnectionPointContainer>(ctrl.Get(), IID_IConnectionPointContainer);
    IConnectionPoint* point = reinterpret_cast<IConnectionPoint*>(1);
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &point), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point, nullptr);
    EXPECT_EQ(container->FindConnectionPoint(DIID__ISSOLoginCtrlEvents, nullptr), E_POINTER);

    auto events = EventsPoint(ctrl.Get());
    IID iid{};
    EXPECT_EQ(events->GetConnectionInterface(&iid), S_OK);
    EXPECT_EQ(iid, DIID__ISSOLoginCtrlEvents);
    EXPECT_EQ(events->GetConnectionInterface(nullptr), E_POINTER);
    ComPtr<IConnectionPointContainer> back;
    EXPECT_EQ(events->GetConnectionPointContainer(back.Out()), S_OK);
    EXPECT_EQ(back.Get(), container.Get());
    EXPECT_EQ(events->GetConnectionPointContainer(nullptr), E_POINTER);

    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.Out()), S_OK);
    IConnectionPoint* got[2] = {};
    ULONG fetched = 9;
    EXPECT_EQ(points->Next(2, got, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(got[0], events.Get());
    got[0]->Release();
    EXPECT_EQ(container->EnumConnectionPoints(nullptr), E_POINTER);
}

TEST_F(ConnectionPoint, ConnectionPointKeepsTheControlAlive) {
    const LONG before = com::ModuleLock::Count();
    auto ctrl = NewControl();
    auto events = EventsPoint(ctrl.Get());
    ctrl.Reset();
    EXPECT_EQ(com::ModuleLock::Count(), before + 1);
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(events->GetConnectionPointContainer(container.Out()), S_OK);
    container.Reset();
    events.Reset();
    EXPECT_EQ(com::ModuleLock::Count(), before);
}

TEST_F(ConnectionPoint, AdviseAndUnadviseResults) {
    FakeSink good, wrong(false);
    auto ctrl = NewControl();
    auto events = EventsPoint(ctrl.Get());
    DWORD cookie = 77;
    EXPECT_EQ(events->Advise(&wrong, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(wrong.refs, 0u);
    EXPECT_EQ(events->Advise(nullptr, &cookie), E_POINTER);
    EXPECT_EQ(events->Advise(&good, nullptr), E_POINTER);
    EXPECT_EQ(events->Unadvise(0), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(events->Unadvise(1), CONNECT_E_NOCONNECTION);

    ASSERT_EQ(events->Advise(&good, &cookie), S_OK);
    EXPECT_NE(cookie, 0u);
    EXPECT_EQ(good.refs, 1u);
    EXPECT_EQ(events->Unadvise(cookie + 1), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(events->Unadvise(cookie), S_OK);
    EXPECT_EQ(good.refs, 0u);
    EXPECT_EQ(events->Unadvise(cookie), CONNECT_E_NOCONNECTION);
}

TEST_F(ConnectionPoint, DestructionReleasesAdvisedSinks) {
    FakeSink a, b;
    {
        auto ctrl = NewControl();
        auto events = EventsPoint(ctrl.Get());
        DWORD c1 = 0, c2 = 0, c3 = 0;
        ASSERT_EQ(events->Advise(&a, &c1), S_OK);
        ASSERT_EQ(events->Advise(&b, &c2), S_OK);
        ASSERT_EQ(events->Advise(&a, &c3), S_OK);  // the same sink twice: two connections
        EXPECT_EQ(a.refs, 2u);
        EXPECT_EQ(b.refs, 1u);
    }
    EXPECT_EQ(a.refs, 0u);
    EXPECT_EQ(b.refs, 0u);
}

// Random Advise/Unadvise against a model; the enumeration lists the live
// connections in the order they were made, each cookie unique.
TEST_F(ConnectionPoint, EnumerationMatchesModel) {
    std::vector<FakeSink> sinks(4);  // outlive the control
    auto ctrl = NewControl();
    auto events = EventsPoint(ctrl.Get());
    std::map<DWORD, IUnknown*> model;  // cookies grow, so map order is advise order
    std::mt19937 rng(7);
    for (int step = 0; step < 300; ++step) {
        if (model.empty() || rng() % 3) {
            FakeSink& s = sinks[rng() % sinks.size()];
            DWORD cookie = 0;
            ASSERT_EQ(events->Advise(&s, &cookie), S_OK);
            ASSERT_EQ(model.count(cookie), 0u);
            model[cookie] = &s;
        } else {
            auto it = std::next(model.begin(), static_cast<long>(rng() % model.size()));
            ASSERT_EQ(events->Unadvise(it->first), S_OK);
            model.erase(it);
        }
        const auto listed = Connections(events.Get());
        ASSERT_EQ(listed.size(), model.size());
        auto it = model.begin();
        for (const CONNECTDATA& cd : listed) {
            EXPECT_EQ(cd.dwCookie, it->first);
            EXPECT_EQ(cd.pUnk, it->second);
            ++it;
        }
    }
    ULONG total = 0;
    for (const FakeSink& s : sinks) total += s.refs;
    EXPECT_EQ(total, model.size());
}

TEST_F(ConnectionPoint, EnumeratorNextSkipResetClone) {
    FakeSink sinks[3];  // outlive the control
    auto ctrl = NewControl();
    auto events = EventsPoint(ctrl.Get());
    DWORD cookies[3];
    for (int i = 0; i < 3; ++i) ASSERT_EQ(events->Advise(&sinks[i], &cookies[i]), S_OK);

    ComPtr<IEnumConnections> e;
    ASSERT_EQ(events->EnumConnections(e.Out()), S_OK);
    EXPECT_EQ(events->EnumConnections(nullptr), E_POINTER);
    CONNECTDATA cd[4] = {};
    EXPECT_EQ(e->Next(2, cd, nullptr), E_POINTER) << "more than one needs a count";
    EXPECT_EQ(e->Next(1, nullptr, nullptr), E_POINTER);
    ULONG fetched = 0;
    ASSERT_EQ(e->Skip(1), S_OK);
    ComPtr<IEnumConnections> clone;
    ASSERT_EQ(e->Clone(clone.Out()), S_OK);
    EXPECT_EQ(e->Clone(nullptr), E_POINTER);
    EXPECT_EQ(e->Next(4, cd, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(cd[0].dwCookie, cookies[1]);
    EXPECT_EQ(cd[1].dwCookie, cookies[2]);
    // The connection, the shared snapshot and the item handed out.
    EXPECT_EQ(sinks[1].refs, 3u);
    cd[0].pUnk->Release();
    cd[1].pUnk->Release();
    EXPECT_EQ(e->Next(1, cd, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(e->Skip(1), S_FALSE);
    EXPECT_EQ(e->Reset(), S_OK);
    EXPECT_EQ(e->Skip(3), S_OK);

    // The clone kept the position and its own snapshot.
    ASSERT_EQ(events->Unadvise(cookies[1]), S_OK);
    ASSERT_EQ(clone->Next(1, cd, nullptr), S_OK);
    EXPECT_EQ(cd[0].dwCookie, cookies[1]);
    cd[0].pUnk->Release();
    clone.Reset();
    e.Reset();
    EXPECT_EQ(sinks[1].refs, 0u) << "the snapshot's references are given back";
}

}  // namespace
}  // namespace corvo::test
