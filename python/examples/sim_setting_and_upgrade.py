"""Against the simulated rack: change a sub module's setting, then upgrade that module."""
import vexa
from vexa.sim import SimRack

with SimRack("--eth", "auto", "--subs", "4017") as rack:        # sets VEXA_ETH_BROADCAST
    coupler_ip = rack.ethernet[0].address
    with vexa.Coupler.open(f"eth:{coupler_ip}") as coupler:
        settings = coupler.sub_module(1).settings.read()
        print("range code was", settings["SET_AIN_TYPE_0"])
        settings["SET_AIN_TYPE_0"] = 2
        settings.submit()
        print("range code is ", settings.read()["SET_AIN_TYPE_0"])

    firmware = rack.write_upgrade_file("ain.upf", bytes(4096), module_type=0x4017)
    with vexa.Upgrade.vexa_ethernet(coupler_ip, sub_address=1) as upgrade:
        print(upgrade.search(enter_boot=True))
        upgrade.upgrade(firmware, progress=lambda pct: print(f"\r{pct:5.1f} %", end=""))
        print("\nupgraded")
