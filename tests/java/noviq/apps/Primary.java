// A first instance: main marks itself ready (its process id in the file named by args[1])
// and waits until the file named by args[0] exists. secondaryMain writes its arguments as
// UTF-16 code units and returns the number its first argument names ("throw" throws,
// "wait" sleeps first), else the argument count.
package noviq.apps;

import java.io.FileOutputStream;
import java.io.File;
import java.lang.management.ManagementFactory;

public class Primary {
    public static void main(String[] args) throws Exception {
        String pid = ManagementFactory.getRuntimeMXBean().getName().split("@")[0];
        try (FileOutputStream ready = new FileOutputStream(args[1])) {
            ready.write(pid.getBytes("US-ASCII"));
        }
        for (int i = 0; i < 3000 && !new File(args[0]).exists(); ++i)
            Thread.sleep(10);
        System.out.println("main done");
    }

    public static int secondaryMain(String[] args) throws Exception {
        StringBuilder line = new StringBuilder("secondary " + args.length);
        for (String argument : args) {
            line.append(" |");
            for (char c : argument.toCharArray())
                line.append(String.format(" %04X", (int) c));
        }
        synchronized (Primary.class) {
            System.out.println(line);
        }
        if (args.length == 0)
            return 0;
        if (args[0].equals("throw"))
            throw new IllegalStateException("secondary failed");
        if (args[0].equals("wait"))
            Thread.sleep(30000);
        try {
            return Integer.parseInt(args[0]);
        } catch (NumberFormatException e) {
            return args.length;
        }
    }
}
