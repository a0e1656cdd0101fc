// Prints what the launcher handed over: each argument with its UTF-16 code units, and the
// system properties, input arguments or environment variables named in -Dshow=a,b,...
package noviq.apps;

import java.lang.management.ManagementFactory;

public class ShowArgs {
    public static void main(String[] args) {
        System.out.println("args=" + args.length);
        for (int i = 0; i < args.length; i++) {
            StringBuilder units = new StringBuilder();
            for (int k = 0; k < args[i].length(); k++)
                units.append(String.format(" %04X", (int) args[i].charAt(k)));
            System.out.println("arg[" + i + "]=" + args[i] + " |" + units);
        }
        String show = System.getProperty("show", "");
        for (String name : show.isEmpty() ? new String[0] : show.split(",")) {
            if (name.equals("@input"))
                for (String input : ManagementFactory.getRuntimeMXBean().getInputArguments())
                    System.out.println("input=" + input);
            else if (name.startsWith("@env:"))
                System.out.println("env " + name.substring(5) + "=" + System.getenv(name.substring(5)));
            else
                System.out.println("prop " + name + "=" + System.getProperty(name));
        }
    }
}
